#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "production/LogRecord.h"
#include "production/ProductionCounters.h"

struct sqlite3;
struct SerialRule;

// Which records an export or a view wants.
struct LogFilter {
    std::string job;    // empty: every job
    std::string since;  // ISO 8601 UTC; empty: from the start
    int64_t limit = 0;  // newest first when set; 0: all, oldest first
    int64_t afterId = 0;  // only records after this id, oldest first (a limit then counts from it)
};

// A serial number taken for the chip about to be programmed.
struct SerialReservation {
    uint64_t value = 0;
};

// The station's traceability log: one SQLite database file (WAL) holding the
// records, each job's counters and serial-number state, and the queue of
// records a line server has not yet confirmed. Every call is one transaction,
// so a chip's record and its counters are committed together, and a process
// killed at any moment leaves each chip recorded once or not at all. Calls are
// serialised by a lock of its own, so programmers on several threads can share
// one log.
class SqliteLog {
public:
    ~SqliteLog();
    SqliteLog(const SqliteLog&) = delete;
    SqliteLog& operator=(const SqliteLog&) = delete;

    // Opens or creates the database (and its folder). Nothing, with `error`
    // set, when that fails.
    static std::unique_ptr<SqliteLog> open(const std::string& path, std::string& error);
    // The default file: belcor/production.sqlite in the user's data folder.
    static std::string defaultPath();

    const std::string& path() const { return path_; }

    // Before a chip is programmed: takes the next serial number of `job` (a
    // returned one first) and commits that it is taken, so no crash can hand it
    // out twice. Without a rule it still writes, so that a log that cannot be
    // written stops production before the chip rather than after it.
    std::optional<SerialReservation> reserve(const std::string& job, const SerialRule* rule, std::string& error);

    // The chip's record and its counters in one transaction. `returnedSerial`
    // goes back for the next chip (a failed chip whose job reuses serials).
    bool commit(LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error);

    // The value the next reservation would give; nothing before any.
    std::optional<uint64_t> peekSerial(const std::string& job, const SerialRule& rule);

    ProductionCounters counters(const std::string& job);
    bool resetCounters(const std::string& job, std::string& error);

    // Records matching `filter`, handed one at a time.
    bool forEachRecord(const LogFilter& filter, const std::function<void(const LogRecord&)>& visit, std::string& error);
    std::vector<LogRecord> records(const LogFilter& filter);

    // The forwarding queue: records not yet confirmed by the line server, in order.
    std::vector<LogRecord> unforwarded(int64_t limit);
    bool markForwarded(int64_t throughId, std::string& error);
    int64_t unforwardedCount();

private:
    SqliteLog() = default;
    bool execute(const char* sql, std::string& error);
    bool addOperatorColumn(std::string& error);
    std::string lastError() const;

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    std::string path_;
};
