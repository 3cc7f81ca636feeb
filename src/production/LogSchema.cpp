#include "production/LogSchema.h"

#include <sqlite3.h>

#include "production/SqliteStatement.h"
#include "production/SqliteTransaction.h"

namespace {

bool execute(sqlite3* db, const char* sql, std::string& error)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    error = sqlite3_errmsg(db);
    return false;
}

bool hasTable(sqlite3* db, const char* table)
{
    SqliteStatement found(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    return found.bind(1, std::string(table)).step() == SQLITE_ROW;
}

// Logs from before versions were kept may hold the column already.
bool addColumn(sqlite3* db, const char* table, const char* column, const char* definition, std::string& error)
{
    const std::string sql = std::string("SELECT 1 FROM pragma_table_info('") + table + "') WHERE name = ?1";
    SqliteStatement columns(db, sql.c_str());
    if (columns.bind(1, std::string(column)).step() == SQLITE_ROW)
        return true;
    const std::string alter = std::string("ALTER TABLE ") + table + " ADD COLUMN " + column + " " + definition;
    return execute(db, alter.c_str(), error);
}

// Every log before version 1 runs every step, whatever layout it has: so the
// steps up to 7 create only what is missing. Later steps need no such care.

bool recordsAndCounters(sqlite3* db, std::string& error)
{
    return execute(db, R"(
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
)",
                   error);
}

// Reservations synced before each chip, interrupted chips counted, and the
// last value of a sequence that ended.
bool reservations(sqlite3* db, std::string& error)
{
    return execute(db, R"(
CREATE TABLE IF NOT EXISTS reservations (
    uid TEXT PRIMARY KEY, time TEXT NOT NULL, station TEXT, programmer TEXT, job TEXT, job_hash TEXT, chip TEXT,
    operations TEXT, serial TEXT, owner TEXT NOT NULL);
)",
                   error) &&
           addColumn(db, "counters", "interrupted", "INTEGER NOT NULL DEFAULT 0", error) &&
           addColumn(db, "serials", "last", "TEXT", error);
}

bool reservationJedecId(sqlite3* db, std::string& error)
{
    return addColumn(db, "reservations", "jedec_id", "TEXT", error);
}

// Records the line server refused, and serial blocks it leased.
bool setAsideAndLeases(sqlite3* db, std::string& error)
{
    return execute(db, R"(
CREATE TABLE IF NOT EXISTS set_aside (id INTEGER PRIMARY KEY REFERENCES records(id), reason TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS leased_serials (job TEXT NOT NULL, job_hash TEXT NOT NULL, next TEXT NOT NULL,
    left INTEGER NOT NULL);
)",
                   error);
}

bool recordOperator(sqlite3* db, std::string& error)
{
    return addColumn(db, "records", "operator", "TEXT", error);
}

bool jobChanges(sqlite3* db, std::string& error)
{
    return execute(db, R"(
CREATE TABLE IF NOT EXISTS job_changes (
    id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, station TEXT, job TEXT NOT NULL, who TEXT NOT NULL,
    what TEXT NOT NULL, before TEXT NOT NULL, after TEXT NOT NULL);
)",
                   error);
}

// Serial sequences apart from job files, and which jobs ever leased: those
// with a block left, and those whose serial numbers went to a line server.
bool serialSequencesAndLeasedJobs(sqlite3* db, std::string& error)
{
    const bool keptLeasedJobs = hasTable(db, "leased_jobs");
    return execute(db, "CREATE TABLE IF NOT EXISTS leased_jobs (job TEXT PRIMARY KEY)", error) &&
           addColumn(db, "records", "serial_sequence", "TEXT NOT NULL DEFAULT ''", error) &&
           addColumn(db, "reservations", "serial_sequence", "TEXT NOT NULL DEFAULT ''", error) &&
           (keptLeasedJobs || execute(db,
                                      "INSERT OR IGNORE INTO leased_jobs(job) SELECT job FROM leased_serials "
                                      "UNION SELECT job FROM records WHERE forwarded <> 0 AND serial <> ''",
                                      error));
}

// Lookups by serial number and by image CRC answer from an index, however
// long the log; by job and time, records_job_time serves.
bool lookupIndexes(sqlite3* db, std::string& error)
{
    return execute(db, R"(
CREATE INDEX IF NOT EXISTS records_serial ON records(serial);
CREATE INDEX IF NOT EXISTS records_crc32 ON records(crc32);
)",
                   error);
}

// Job values (made to run again, as a test's log set back to version 0
// does): what each record took, where each source stands, the values failed
// chips gave back and those of the chips under way.
bool jobValues(sqlite3* db, std::string& error)
{
    return addColumn(db, "records", "job_values", "TEXT NOT NULL DEFAULT ''", error) &&
           addColumn(db, "records", "values_status", "TEXT NOT NULL DEFAULT ''", error) &&
           addColumn(db, "reservations", "job_values", "TEXT NOT NULL DEFAULT ''", error) && execute(db, R"(
CREATE TABLE IF NOT EXISTS value_positions (job TEXT NOT NULL, field TEXT NOT NULL, last TEXT NOT NULL,
    PRIMARY KEY(job, field));
CREATE TABLE IF NOT EXISTS returned_values (job TEXT NOT NULL, field TEXT NOT NULL, key TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS reserved_values (uid TEXT NOT NULL, job TEXT NOT NULL, field TEXT NOT NULL,
    key TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS reserved_values_uid ON reserved_values(uid);
)",
                                                                                       error);
}

// Job values leased from a line server (made to run again, as jobValues):
// the keys leased and not yet taken, in the order leased, and the fields
// that ever leased, which take from leased keys alone even without the server.
bool leasedValues(sqlite3* db, std::string& error)
{
    return execute(db, R"(
CREATE TABLE IF NOT EXISTS leased_values (job TEXT NOT NULL, field TEXT NOT NULL, key TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS leased_values_field ON leased_values(job, field);
CREATE TABLE IF NOT EXISTS leased_value_fields (job TEXT NOT NULL, field TEXT NOT NULL, PRIMARY KEY(job, field));
)",
                   error);
}

using Step = bool (*)(sqlite3*, std::string&);

// Step i brings a log of version i to version i + 1. Append only: a step
// that shipped is never changed, since logs out there ran it as it was.
constexpr Step Steps[] = {
    recordsAndCounters, reservations,   reservationJedecId,           setAsideAndLeases,
    recordOperator,     jobChanges,     serialSequencesAndLeasedJobs, lookupIndexes,
    jobValues,          leasedValues,
};

}  // namespace

int LogSchema::newest()
{
    return static_cast<int>(std::size(Steps));
}

std::optional<int> LogSchema::version(sqlite3* db, std::string& error)
{
    SqliteStatement read(db, "PRAGMA user_version");
    if (read.step() != SQLITE_ROW) {
        error = sqlite3_errmsg(db);
        return std::nullopt;
    }
    return static_cast<int>(read.integer(0));
}

bool LogSchema::upgrade(sqlite3* db, std::string& error)
{
    const std::optional<int> found = version(db, error);
    if (!found)
        return false;
    for (int target = *found + 1; target <= newest(); ++target) {
        SqliteTransaction transaction(db);
        if (!transaction.begin()) {
            error = sqlite3_errmsg(db);
            return false;
        }
        // Read inside the transaction: another program may have upgraded the
        // log since this one looked.
        const std::optional<int> current = version(db, error);
        if (!current)
            return false;
        if (*current >= target)
            continue;
        const std::string bump = "PRAGMA user_version = " + std::to_string(target);
        if (!Steps[target - 1](db, error) || !execute(db, bump.c_str(), error))
            return false;
        if (!transaction.commit()) {
            error = sqlite3_errmsg(db);
            return false;
        }
    }
    return true;
}
