#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "production/LogForwarder.h"
#include "production/SqliteLog.h"

// The log a production run writes to: the station's SQLite database, and,
// when a postgresql:// address is given, the line server the records are
// forwarded to from there.
class ProductionLog {
public:
    // `targets`: at most one database file (the default file when none) and at
    // most one postgresql:// (or postgres://) address.
    static std::unique_ptr<ProductionLog> open(const std::vector<std::string>& targets, std::string& error);
    static bool isServerAddress(const std::string& target);

    SqliteLog& local() { return *local_; }
    // Nothing without a line server.
    LogForwarder* forwarder() { return forwarder_.get(); }
    const std::string& serverAddress() const { return server_; }

    // Commits to the station's log and queues the record for the server.
    bool commit(LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error);

private:
    std::unique_ptr<SqliteLog> local_;
    std::unique_ptr<LogForwarder> forwarder_;
    std::string server_;
};
