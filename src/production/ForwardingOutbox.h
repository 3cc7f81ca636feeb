#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "production/LogRecord.h"

struct sqlite3;

// Records the line server refused, kept in the station's log.
struct SetAsideRecords {
    int64_t count = 0;
    std::string lastReason;  // the server's reason for the newest of them
};

// The records a line server has not yet confirmed, in order, and those it
// refused, set aside. Its callers hold the log's lock.
class ForwardingOutbox {
public:
    explicit ForwardingOutbox(sqlite3* db) : db_(db) {}

    std::vector<LogRecord> unforwarded(int64_t limit);
    bool markForwarded(int64_t throughId, std::string& error);
    int64_t unforwardedCount();
    bool setAside(int64_t id, const std::string& reason, std::string& error);
    SetAsideRecords setAsideRecords();

private:
    sqlite3* db_;
};
