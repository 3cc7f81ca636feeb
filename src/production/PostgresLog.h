#pragma once

#include <optional>
#include <vector>

#include "production/LogFilter.h"
#include "production/LogRecord.h"
#include "production/PostgresSession.h"

// The line's shared log on a PostgreSQL server. Each record carries the
// station's unique key, so sending it again (after a reply that was lost)
// stores nothing twice.
class PostgresLog {
public:
    explicit PostgresLog(const std::string& address);

    // Stores the records in one transaction, in their order; connects (and
    // creates the table) first when needed. When the server refuses one of
    // them for a fault of its own (its text, a constraint), `rejected` names
    // it: sending it again would change nothing. A refusal of the server's
    // own (no right to insert, no room) names none: it passes.
    PostgresSession::Reply store(const std::vector<LogRecord>& records, std::optional<size_t>& rejected);

    // The line's records that match `filter` (its job, since, serial and
    // CRC; neither limit nor id), oldest first. A line no station has
    // written to yet has none.
    PostgresSession::Reply find(const LogFilter& filter, std::vector<LogRecord>& records);

    // From any thread: ends a store under way at once.
    void stop() { session_.stop(); }

private:
    PostgresSession session_;
};
