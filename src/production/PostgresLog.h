#pragma once

#include <string>
#include <vector>

#include "production/LogRecord.h"

struct pg_conn;

// The line's shared log on a PostgreSQL server, through libpq. Each record
// carries the station's unique key, so sending it again (after a reply that
// was lost) stores nothing twice.
class PostgresLog {
public:
    explicit PostgresLog(std::string connection) : connection_(std::move(connection)) {}
    ~PostgresLog();
    PostgresLog(const PostgresLog&) = delete;
    PostgresLog& operator=(const PostgresLog&) = delete;

    // Stores the records in one transaction, in their order; connects (and
    // creates the table) first when needed. False, with `error` set, when the
    // server did not take them; the connection is then dropped for a new try.
    bool store(const std::vector<LogRecord>& records, std::string& error);

    static constexpr const char* Table = "belcor_production_log";

private:
    bool connect(std::string& error);
    void disconnect();

    std::string connection_;
    pg_conn* conn_ = nullptr;
};
