#include "production/SqliteLog.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>

#include "production/LogSchema.h"
#include "production/ProductionText.h"

namespace {

constexpr int BusyTimeoutMs = 2000;

}  // namespace

SqliteLog::SqliteLog(sqlite3* db, const std::string& path)
    : db_(db), path_(path), serials_(db), journal_(db, path, serials_), queries_(db), outbox_(db)
{
}

SqliteLog::~SqliteLog()
{
    // A last try for records kept pending; those that still cannot be written
    // stay in their files for the next open.
    std::string ignored;
    journal_.flushPending(ignored);
    sqlite3_close(db_);
}

std::string SqliteLog::defaultPath()
{
    namespace fs = std::filesystem;
    fs::path folder;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        folder = data;
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = fs::path(home) / ".local" / "share";
    else
        folder = fs::temp_directory_path();
    return (folder / "belcor" / "production.sqlite").string();
}

std::unique_ptr<SqliteLog> SqliteLog::open(const std::string& path, std::string& error, int language)
{
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored);
    sqlite3* db = nullptr;
    const int opened =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    // The log closes the handle, which SQLite gives even when the open fails.
    std::unique_ptr<SqliteLog> log(new SqliteLog(db, path));
    if (opened != SQLITE_OK) {
        error = path + ": " + log->lastError();
        return nullptr;
    }
    sqlite3_busy_timeout(log->db_, BusyTimeoutMs);
    // A log of a newer layout is left as it is: this program could neither
    // read it right nor write it without harm.
    const std::optional<int> version = LogSchema::version(log->db_, error);
    if (!version) {
        error = path + ": " + error;
        return nullptr;
    }
    if (*version > LogSchema::newest()) {
        error = ProductionText(Msg::LogSchemaTooNew, language,
                               {path, std::to_string(*version), std::to_string(LogSchema::newest())});
        return nullptr;
    }
    // WAL: readers (an export, the sqlite3 shell) never block the station.
    // NORMAL: a commit is safe from a killed or crashed process without an
    // fsync per record; a power cut can lose the last records before a
    // checkpoint, never corrupt the file, and their reservations, which are
    // synced, then name their chips as interrupted.
    if (!log->execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", error) ||
        !LogSchema::upgrade(log->db_, error)) {
        error = path + ": " + error;
        return nullptr;
    }
    // Records left by a program that ended before it could write them come
    // first, then the reservations of chips whose program is gone.
    log->journal_.writePendingFilesIn();
    log->journal_.interruptAbandonedReservations();
    return log;
}

bool SqliteLog::execute(const char* sql, std::string& error)
{
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    error = lastError();
    return false;
}

std::string SqliteLog::lastError() const
{
    return db_ ? sqlite3_errmsg(db_) : "out of memory";
}

void SqliteLog::takeSerialsFromLeases()
{
    std::lock_guard lock(mutex_);
    serials_.takeFromLeases();
}

void SqliteLog::takeValuesFromLeases()
{
    std::lock_guard lock(mutex_);
    journal_.values().takeFromLeases();
}

bool SqliteLog::addValueLease(const std::string& job, const std::string& field, const std::vector<std::string>& keys,
                              std::string& error)
{
    std::lock_guard lock(mutex_);
    return journal_.values().addLease(job, field, keys, error);
}

std::optional<std::string> SqliteLog::lastValue(const std::string& job, const std::string& field)
{
    std::lock_guard lock(mutex_);
    return journal_.values().last(job, field);
}

Reservation SqliteLog::reserve(LogRecord& chip, const SerialRule* rule, const JobValues* values)
{
    std::lock_guard lock(mutex_);
    return journal_.reserve(chip, rule, values);
}

bool SqliteLog::addLease(const std::string& job, const std::string& sequence, uint64_t first, uint64_t count,
                         std::string& error)
{
    std::lock_guard lock(mutex_);
    return serials_.addLease(job, sequence, first, count, error);
}

bool SqliteLog::hasIssued(const std::string& job)
{
    std::lock_guard lock(mutex_);
    return serials_.hasIssued(job);
}

std::optional<uint64_t> SqliteLog::peekSerial(const std::string& job, const SerialRule& rule)
{
    std::lock_guard lock(mutex_);
    return serials_.peek(job, rule);
}

bool SqliteLog::commit(LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error,
                       int busyWaitMs)
{
    std::lock_guard lock(mutex_);
    if (busyWaitMs >= 0)
        sqlite3_busy_timeout(db_, busyWaitMs);
    const bool committed = journal_.commit(record, returnedSerial, error);
    if (busyWaitMs >= 0)
        sqlite3_busy_timeout(db_, BusyTimeoutMs);
    return committed;
}

std::string SqliteLog::keepPending(const LogRecord& record, std::optional<uint64_t> returnedSerial)
{
    std::lock_guard lock(mutex_);
    return journal_.keepPending(record, returnedSerial);
}

bool SqliteLog::flushPending(std::string& error)
{
    std::lock_guard lock(mutex_);
    return journal_.flushPending(error);
}

size_t SqliteLog::pendingCount()
{
    std::lock_guard lock(mutex_);
    return journal_.pendingCount();
}

ProductionCounters SqliteLog::counters(const std::string& job)
{
    std::lock_guard lock(mutex_);
    return queries_.counters(job);
}

bool SqliteLog::resetCounters(const std::string& job, std::string& error)
{
    std::lock_guard lock(mutex_);
    return queries_.resetCounters(job, error);
}

bool SqliteLog::recordChange(const JobChange& change, std::string& error)
{
    std::lock_guard lock(mutex_);
    return queries_.recordChange(change, error);
}

bool SqliteLog::forEachRecord(const LogFilter& filter, const std::function<void(const LogRecord&)>& visit,
                              std::string& error)
{
    std::lock_guard lock(mutex_);
    return queries_.forEachRecord(filter, visit, error);
}

std::vector<LogRecord> SqliteLog::records(const LogFilter& filter)
{
    std::lock_guard lock(mutex_);
    return queries_.records(filter);
}

std::vector<LogRecord> SqliteLog::unforwarded(int64_t limit)
{
    std::lock_guard lock(mutex_);
    return outbox_.unforwarded(limit);
}

bool SqliteLog::markForwarded(int64_t throughId, std::string& error)
{
    std::lock_guard lock(mutex_);
    return outbox_.markForwarded(throughId, error);
}

int64_t SqliteLog::unforwardedCount()
{
    std::lock_guard lock(mutex_);
    return outbox_.unforwardedCount();
}

bool SqliteLog::setAside(int64_t id, const std::string& reason, std::string& error)
{
    std::lock_guard lock(mutex_);
    return outbox_.setAside(id, reason, error);
}

SetAsideRecords SqliteLog::setAsideRecords()
{
    std::lock_guard lock(mutex_);
    return outbox_.setAsideRecords();
}
