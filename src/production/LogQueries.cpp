#include "production/LogQueries.h"

#include <sqlite3.h>

#include "production/ChipRate.h"
#include "production/IsoTime.h"
#include "production/LogRecordRow.h"
#include "production/SqliteStatement.h"

ProductionCounters LogQueries::counters(const std::string& job)
{
    ProductionCounters counters;
    SqliteStatement row(db_, "SELECT passed, failed, cycle_ms_total, interrupted FROM counters WHERE job = ?1");
    if (row.bind(1, job).step() == SQLITE_ROW) {
        counters.passed = row.integer(0);
        counters.failed = row.integer(1);
        counters.cycleMsTotal = row.integer(2);
        counters.interrupted = row.integer(3);
    }
    counters.goodPerHour = ChipRate::goodPerHour(lastHourOfWork(job));
    return counters;
}

std::vector<LogRecord> LogQueries::lastHourOfWork(const std::string& job)
{
    const std::vector<LogRecord> newest = records(LogFilter{job, {}, 1, 0});
    std::string error;
    const std::optional<int64_t> endMs = newest.empty() ? std::nullopt : IsoTime::parse(newest.front().time, error);
    if (!endMs)
        return {};
    return records(LogFilter{job, IsoTime::utcText(*endMs - ChipRate::HourMs), 0, 0});
}

bool LogQueries::resetCounters(const std::string& job, std::string& error)
{
    SqliteStatement reset(db_, "UPDATE counters SET passed = 0, failed = 0, cycle_ms_total = 0, interrupted = 0 "
                               "WHERE job = ?1");
    if (reset.bind(1, job).step() != SQLITE_DONE) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool LogQueries::recordChange(const JobChange& change, std::string& error)
{
    SqliteStatement insert(db_, "INSERT INTO job_changes(time, station, job, who, what, before, after) "
                                "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    insert.bind(1, change.time).bind(2, change.station).bind(3, change.job).bind(4, change.who);
    if (insert.bind(5, change.what).bind(6, change.before).bind(7, change.after).step() != SQLITE_DONE) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool LogQueries::forEachRecord(const LogFilter& filter, const std::function<void(const LogRecord&)>& visit,
                              std::string& error)
{
    std::string sql = std::string(LogRecordRow::Select) +
                      "WHERE (?1 = '' OR job = ?1) AND (?2 = '' OR time >= ?2) AND id > ?4 ORDER BY id";
    if (filter.limit > 0)
        sql += filter.afterId > 0 ? " LIMIT ?3" : " DESC LIMIT ?3";
    SqliteStatement rows(db_, sql.c_str());
    rows.bind(1, filter.job).bind(2, filter.since).bind(4, filter.afterId);
    if (filter.limit > 0)
        rows.bind(3, filter.limit);
    int result = SQLITE_ROW;
    while ((result = rows.step()) == SQLITE_ROW)
        visit(LogRecordRow::read(rows));
    if (result != SQLITE_DONE) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

std::vector<LogRecord> LogQueries::records(const LogFilter& filter)
{
    std::vector<LogRecord> found;
    std::string ignored;
    forEachRecord(filter, [&found](const LogRecord& record) { found.push_back(record); }, ignored);
    return found;
}
