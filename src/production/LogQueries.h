#pragma once

#include <functional>
#include <string>
#include <vector>

#include "production/JobChange.h"
#include "production/LogFilter.h"
#include "production/LogRecord.h"
#include "production/ProductionCounters.h"

struct sqlite3;

// What the log is asked for: records, each job's counters, and the changes
// made to them. Its callers hold the log's lock.
class LogQueries {
public:
    explicit LogQueries(sqlite3* db) : db_(db) {}

    ProductionCounters counters(const std::string& job);
    bool resetCounters(const std::string& job, std::string& error);
    bool recordChange(const JobChange& change, std::string& error);
    bool forEachRecord(const LogFilter& filter, const std::function<void(const LogRecord&)>& visit, std::string& error);
    std::vector<LogRecord> records(const LogFilter& filter);

private:
    // The job's records from an hour before its newest on: what ChipRate reads.
    std::vector<LogRecord> lastHourOfWork(const std::string& job);

    sqlite3* db_;
};
