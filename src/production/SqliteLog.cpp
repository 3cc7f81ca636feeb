#include "production/SqliteLog.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>

#include "production/SerialRule.h"

namespace {

constexpr int BusyTimeoutMs = 2000;

const char* const Schema = R"(
CREATE TABLE IF NOT EXISTS records (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    uid TEXT NOT NULL UNIQUE,
    time TEXT NOT NULL, station TEXT, programmer TEXT, job TEXT, job_hash TEXT, chip TEXT, jedec_id TEXT,
    operations TEXT, result TEXT, message TEXT, serial TEXT, serial_status TEXT, crc32 TEXT, sha256 TEXT,
    duration_ms INTEGER, cycle_ms INTEGER,
    forwarded INTEGER NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS records_job_time ON records(job, time);
CREATE INDEX IF NOT EXISTS records_unforwarded ON records(forwarded, id);
CREATE TABLE IF NOT EXISTS counters (
    job TEXT PRIMARY KEY, passed INTEGER NOT NULL DEFAULT 0, failed INTEGER NOT NULL DEFAULT 0,
    cycle_ms_total INTEGER NOT NULL DEFAULT 0, reservations INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS serials (job TEXT PRIMARY KEY, next TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS returned_serials (job TEXT NOT NULL, value TEXT NOT NULL);
)";

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return statement_ != nullptr; }
    Statement& bind(int index, const std::string& text)
    {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int index, int64_t value)
    {
        sqlite3_bind_int64(statement_, index, value);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return statement_ ? sqlite3_step(statement_) : SQLITE_ERROR; }
    std::string text(int column) const
    {
        const auto* value = sqlite3_column_text(statement_, column);
        return value ? reinterpret_cast<const char*>(value) : std::string();
    }
    int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }

private:
    sqlite3_stmt* statement_ = nullptr;
};

// Serial values are kept as decimal text: SQLite's integers are signed and a
// 64-bit serial may not fit.
uint64_t valueOf(const std::string& text)
{
    return std::strtoull(text.c_str(), nullptr, 10);
}

LogRecord recordOf(const Statement& row)
{
    LogRecord record;
    record.id = row.integer(0);
    std::string* texts[] = {&record.uid, &record.time, &record.station, &record.programmer, &record.job,
                            &record.jobHash, &record.chip, &record.jedecId, &record.operations, &record.result,
                            &record.message, &record.serial, &record.serialStatus, &record.crc32, &record.sha256};
    int column = 1;
    for (std::string* text : texts)
        *text = row.text(column++);
    record.durationMs = row.integer(column++);
    record.cycleMs = row.integer(column++);
    record.operatorName = row.text(column);
    return record;
}

const char* const SelectRecord =
    "SELECT id, uid, time, station, programmer, job, job_hash, chip, jedec_id, operations, result, message, "
    "serial, serial_status, crc32, sha256, duration_ms, cycle_ms, operator FROM records ";

// Rolls back on every path that does not reach commit.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) {}
    ~Transaction()
    {
        if (open_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    bool begin() { return open_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK; }
    bool commit()
    {
        if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            return false;
        open_ = false;
        return true;
    }

private:
    sqlite3* db_;
    bool open_ = false;
};

}  // namespace

SqliteLog::~SqliteLog()
{
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

std::unique_ptr<SqliteLog> SqliteLog::open(const std::string& path, std::string& error)
{
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored);
    std::unique_ptr<SqliteLog> log(new SqliteLog);
    log->path_ = path;
    if (sqlite3_open_v2(path.c_str(), &log->db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        error = path + ": " + log->lastError();
        return nullptr;
    }
    sqlite3_busy_timeout(log->db_, BusyTimeoutMs);
    // WAL: readers (an export, the sqlite3 shell) never block the station.
    // NORMAL: a commit is safe from a killed or crashed process without an
    // fsync per chip (which costs 5-20 ms on a busy disk); only a power cut
    // can lose the last records before a checkpoint, never corrupt the file.
    if (!log->execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", error) ||
        !log->execute(Schema, error) || !log->addOperatorColumn(error)) {
        error = path + ": " + error;
        return nullptr;
    }
    return log;
}

// Logs written before records named their operator gain the column; their
// records read it as empty.
bool SqliteLog::addOperatorColumn(std::string& error)
{
    Statement present(db_, "SELECT COUNT(*) FROM pragma_table_info('records') WHERE name = 'operator'");
    if (present.step() == SQLITE_ROW && present.integer(0) > 0)
        return true;
    return execute("ALTER TABLE records ADD COLUMN operator TEXT", error);
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

std::optional<SerialReservation> SqliteLog::reserve(const std::string& job, const SerialRule* rule, std::string& error)
{
    std::lock_guard lock(mutex_);
    Transaction transaction(db_);
    if (!transaction.begin()) {
        error = lastError();
        return std::nullopt;
    }
    Statement touch(db_, "INSERT INTO counters(job, reservations) VALUES(?1, 1) "
                         "ON CONFLICT(job) DO UPDATE SET reservations = reservations + 1");
    if (touch.bind(1, job).step() != SQLITE_DONE) {
        error = lastError();
        return std::nullopt;
    }
    SerialReservation reservation;
    if (rule) {
        Statement returned(db_, "SELECT rowid, value FROM returned_serials WHERE job = ?1 ORDER BY rowid LIMIT 1");
        if (returned.bind(1, job).step() == SQLITE_ROW) {
            reservation.value = valueOf(returned.text(1));
            Statement take(db_, "DELETE FROM returned_serials WHERE rowid = ?1");
            if (take.bind(1, returned.integer(0)).step() != SQLITE_DONE) {
                error = lastError();
                return std::nullopt;
            }
        } else {
            Statement next(db_, "SELECT next FROM serials WHERE job = ?1");
            reservation.value = next.bind(1, job).step() == SQLITE_ROW ? std::max(valueOf(next.text(0)), rule->first)
                                                                        : rule->first;
            // Past the 64-bit end the next value stays put: it cannot be encoded
            // anyway, and production stops at it.
            const uint64_t following = reservation.value + rule->step < reservation.value
                                           ? reservation.value
                                           : reservation.value + rule->step;
            Statement store(db_, "INSERT INTO serials(job, next) VALUES(?1, ?2) "
                                 "ON CONFLICT(job) DO UPDATE SET next = excluded.next");
            if (store.bind(1, job).bind(2, std::to_string(following)).step() != SQLITE_DONE) {
                error = lastError();
                return std::nullopt;
            }
        }
    }
    if (!transaction.commit()) {
        error = lastError();
        return std::nullopt;
    }
    return reservation;
}

std::optional<uint64_t> SqliteLog::peekSerial(const std::string& job, const SerialRule& rule)
{
    std::lock_guard lock(mutex_);
    Statement returned(db_, "SELECT value FROM returned_serials WHERE job = ?1 ORDER BY rowid LIMIT 1");
    if (returned.bind(1, job).step() == SQLITE_ROW)
        return valueOf(returned.text(0));
    Statement next(db_, "SELECT next FROM serials WHERE job = ?1");
    if (next.bind(1, job).step() == SQLITE_ROW)
        return std::max(valueOf(next.text(0)), rule.first);
    return rule.first;
}

bool SqliteLog::commit(LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error)
{
    std::lock_guard lock(mutex_);
    Transaction transaction(db_);
    if (!transaction.begin()) {
        error = lastError();
        return false;
    }
    Statement insert(db_, "INSERT INTO records(uid, time, station, programmer, job, job_hash, chip, jedec_id, "
                          "operations, result, message, serial, serial_status, crc32, sha256, duration_ms, cycle_ms, "
                          "operator) "
                          "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18)");
    const std::string* texts[] = {&record.uid, &record.time, &record.station, &record.programmer, &record.job,
                                  &record.jobHash, &record.chip, &record.jedecId, &record.operations,
                                  &record.result, &record.message, &record.serial, &record.serialStatus,
                                  &record.crc32, &record.sha256};
    int index = 1;
    for (const std::string* text : texts)
        insert.bind(index++, *text);
    insert.bind(index, record.durationMs);
    insert.bind(index + 1, record.cycleMs);
    insert.bind(index + 2, record.operatorName);
    const bool passed = record.result == "pass";
    Statement count(db_, passed ? "INSERT INTO counters(job, passed, cycle_ms_total) VALUES(?1, 1, ?2) "
                                  "ON CONFLICT(job) DO UPDATE SET passed = passed + 1, "
                                  "cycle_ms_total = cycle_ms_total + excluded.cycle_ms_total"
                                : "INSERT INTO counters(job, failed, cycle_ms_total) VALUES(?1, 1, ?2) "
                                  "ON CONFLICT(job) DO UPDATE SET failed = failed + 1, "
                                  "cycle_ms_total = cycle_ms_total + excluded.cycle_ms_total");
    if (insert.step() != SQLITE_DONE || count.bind(1, record.job).bind(2, record.cycleMs).step() != SQLITE_DONE) {
        error = lastError();
        return false;
    }
    record.id = sqlite3_last_insert_rowid(db_);
    if (returnedSerial) {
        Statement give(db_, "INSERT INTO returned_serials(job, value) VALUES(?1, ?2)");
        if (give.bind(1, record.job).bind(2, std::to_string(*returnedSerial)).step() != SQLITE_DONE) {
            error = lastError();
            return false;
        }
    }
    if (!transaction.commit()) {
        error = lastError();
        return false;
    }
    return true;
}

ProductionCounters SqliteLog::counters(const std::string& job)
{
    std::lock_guard lock(mutex_);
    ProductionCounters counters;
    Statement row(db_, "SELECT passed, failed, cycle_ms_total FROM counters WHERE job = ?1");
    if (row.bind(1, job).step() == SQLITE_ROW) {
        counters.passed = row.integer(0);
        counters.failed = row.integer(1);
        counters.cycleMsTotal = row.integer(2);
    }
    return counters;
}

bool SqliteLog::resetCounters(const std::string& job, std::string& error)
{
    std::lock_guard lock(mutex_);
    Statement reset(db_, "UPDATE counters SET passed = 0, failed = 0, cycle_ms_total = 0 WHERE job = ?1");
    if (reset.bind(1, job).step() != SQLITE_DONE) {
        error = lastError();
        return false;
    }
    return true;
}

bool SqliteLog::forEachRecord(const LogFilter& filter, const std::function<void(const LogRecord&)>& visit,
                              std::string& error)
{
    std::lock_guard lock(mutex_);
    std::string sql = std::string(SelectRecord) +
                      "WHERE (?1 = '' OR job = ?1) AND (?2 = '' OR time >= ?2) AND id > ?4 ORDER BY id";
    if (filter.limit > 0)
        sql += filter.afterId > 0 ? " LIMIT ?3" : " DESC LIMIT ?3";
    Statement rows(db_, sql.c_str());
    rows.bind(1, filter.job).bind(2, filter.since).bind(4, filter.afterId);
    if (filter.limit > 0)
        rows.bind(3, filter.limit);
    int result = SQLITE_ROW;
    while ((result = rows.step()) == SQLITE_ROW)
        visit(recordOf(rows));
    if (result != SQLITE_DONE) {
        error = lastError();
        return false;
    }
    return true;
}

std::vector<LogRecord> SqliteLog::records(const LogFilter& filter)
{
    std::vector<LogRecord> found;
    std::string ignored;
    forEachRecord(filter, [&found](const LogRecord& record) { found.push_back(record); }, ignored);
    return found;
}

std::vector<LogRecord> SqliteLog::unforwarded(int64_t limit)
{
    std::lock_guard lock(mutex_);
    std::vector<LogRecord> found;
    Statement rows(db_, (std::string(SelectRecord) + "WHERE forwarded = 0 ORDER BY id LIMIT ?1").c_str());
    rows.bind(1, limit);
    while (rows.step() == SQLITE_ROW)
        found.push_back(recordOf(rows));
    return found;
}

bool SqliteLog::markForwarded(int64_t throughId, std::string& error)
{
    std::lock_guard lock(mutex_);
    Statement mark(db_, "UPDATE records SET forwarded = 1 WHERE forwarded = 0 AND id <= ?1");
    if (mark.bind(1, throughId).step() != SQLITE_DONE) {
        error = lastError();
        return false;
    }
    return true;
}

int64_t SqliteLog::unforwardedCount()
{
    std::lock_guard lock(mutex_);
    Statement count(db_, "SELECT COUNT(*) FROM records WHERE forwarded = 0");
    return count.step() == SQLITE_ROW ? count.integer(0) : 0;
}
