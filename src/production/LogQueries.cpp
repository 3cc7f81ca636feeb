#include "production/LogQueries.h"

#include <sqlite3.h>

#include <utility>

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

// Only the conditions asked for go into the statement: a condition that is
// switched off by its parameter would keep the planner from the indexes.
// The newest few records of a job (what the counters read for every chip)
// are found walking back from the newest id: the job's index would sort all
// its records first.
bool LogQueries::forEachRecord(const LogFilter& filter, const std::function<void(const LogRecord&)>& visit,
                              std::string& error)
{
    const bool newestFew = filter.limit > 0 && filter.afterId == 0;
    std::string sql = std::string(LogRecordRow::Select) + "WHERE 1";
    std::vector<const std::string*> texts;
    for (const auto& [condition, value] : {std::pair{newestFew ? " AND +job = ?" : " AND job = ?", &filter.job},
                                           {" AND time >= ?", &filter.since},
                                           {" AND serial = ?", &filter.serial}, {" AND crc32 = ?", &filter.crc32}}) {
        if (!value->empty()) {
            texts.push_back(value);
            sql += condition + std::to_string(texts.size());
        }
    }
    const int afterIdIndex = static_cast<int>(texts.size()) + 1;
    const int limitIndex = afterIdIndex + 1;
    if (filter.afterId > 0)
        sql += " AND id > ?" + std::to_string(afterIdIndex);
    sql += " ORDER BY id";
    if (filter.limit > 0)
        sql += (filter.afterId > 0 ? " LIMIT ?" : " DESC LIMIT ?") + std::to_string(limitIndex);
    SqliteStatement rows(db_, sql.c_str());
    for (size_t i = 0; i < texts.size(); ++i)
        rows.bind(static_cast<int>(i) + 1, *texts[i]);
    if (filter.afterId > 0)
        rows.bind(afterIdIndex, filter.afterId);
    if (filter.limit > 0)
        rows.bind(limitIndex, filter.limit);
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
