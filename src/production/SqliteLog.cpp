#include "production/SqliteLog.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <filesystem>

#include "core/AtomicFile.h"
#include "core/MessageCatalogue.h"
#include "core/SmallFile.h"
#include "production/ChipRate.h"
#include "production/IsoTime.h"
#include "production/LogSchema.h"
#include "production/ProcessIdentity.h"
#include "production/ProductionText.h"
#include "production/SerialRule.h"
#include "production/SqliteStatement.h"
#include "production/SqliteTransaction.h"

namespace {

constexpr int BusyTimeoutMs = 2000;

constexpr const char* PendingSuffix = ".json";
// A record with its longest failure text stays far below this.
constexpr size_t LargestPendingFile = 1 << 20;

// Serial values are kept as decimal text: SQLite's integers are signed and a
// 64-bit serial may not fit. Nothing for an empty text: a sequence used up.
std::optional<uint64_t> valueOf(const std::string& text)
{
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

LogRecord recordOf(const SqliteStatement& row)
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
    record.operatorName = row.text(column++);
    record.serialSequence = row.text(column);
    return record;
}

const char* const SelectRecord =
    "SELECT id, uid, time, station, programmer, job, job_hash, chip, jedec_id, operations, result, message, "
    "serial, serial_status, crc32, sha256, duration_ms, cycle_ms, operator, serial_sequence FROM records ";

// A reservation's transaction is synced to disk at its commit (WAL and all),
// which NORMAL leaves to the next checkpoint: a power cut must not take back
// a serial number that a chip may already carry.
class FullSync {
public:
    explicit FullSync(sqlite3* db) : db_(db) { sqlite3_exec(db_, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr); }
    ~FullSync() { sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr); }
    FullSync(const FullSync&) = delete;
    FullSync& operator=(const FullSync&) = delete;

private:
    sqlite3* db_;
};

}  // namespace

SqliteLog::~SqliteLog()
{
    // A last try for records kept pending; those that still cannot be written
    // stay in their files for the next open.
    std::string ignored;
    flushPendingLocked(ignored);
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
    std::unique_ptr<SqliteLog> log(new SqliteLog);
    log->path_ = path;
    if (sqlite3_open_v2(path.c_str(), &log->db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
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
    log->writePendingFilesIn();
    log->interruptAbandonedReservations();
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

Reservation SqliteLog::takeSerial(const LogRecord& chip, const SerialRule& rule)
{
    const std::string& job = chip.job;
    Reservation taken;
    SqliteStatement returned(db_, "SELECT rowid, value FROM returned_serials WHERE job = ?1 ORDER BY rowid LIMIT 1");
    if (returned.bind(1, job).step() == SQLITE_ROW) {
        SqliteStatement take(db_, "DELETE FROM returned_serials WHERE rowid = ?1");
        if (take.bind(1, returned.integer(0)).step() != SQLITE_DONE) {
            taken.error = lastError();
            return taken;
        }
        taken.serial = valueOf(returned.text(1));
        taken.outcome = taken.serial && *taken.serial <= rule.maximum() ? Reservation::Outcome::Reserved
                                                                         : Reservation::Outcome::SerialsUsedUp;
        return taken;
    }
    std::optional<uint64_t> due = rule.first;
    SqliteStatement state(db_, "SELECT next, last FROM serials WHERE job = ?1");
    if (state.bind(1, job).step() == SQLITE_ROW) {
        taken.last = valueOf(state.text(1));
        const std::optional<uint64_t> next = valueOf(state.text(0));
        // A used-up sequence goes on only where the rule (a wider one, say)
        // has a value after the last.
        due = next ? std::max(*next, rule.first) : taken.last ? rule.after(*taken.last) : std::nullopt;
    }
    std::optional<int64_t> lease;
    SqliteStatement leasedBefore(db_, "SELECT 1 FROM leased_jobs WHERE job = ?1");
    if (leased_ || leasedBefore.bind(1, job).step() == SQLITE_ROW) {
        // Blocks leased before serial sequences were kept under the job
        // file's hash go first.
        SqliteStatement block(
            db_, "SELECT rowid, next FROM leased_serials WHERE job_hash IN (?1, ?2) ORDER BY rowid LIMIT 1");
        if (block.bind(1, sequenceKey(chip)).bind(2, chip.jobHash).step() != SQLITE_ROW) {
            taken.outcome = Reservation::Outcome::LeaseNeeded;
            return taken;
        }
        lease = block.integer(0);
        due = valueOf(block.text(1));
    }
    if (!due || *due > rule.maximum()) {
        taken.serial = due;
        taken.outcome = Reservation::Outcome::SerialsUsedUp;
        return taken;
    }
    const std::optional<uint64_t> following = rule.after(*due);
    if (lease) {
        // A block past the 64-bit end is done with as well.
        SqliteStatement advance(db_, "UPDATE leased_serials SET next = ?2, left = left - 1 WHERE rowid = ?1");
        SqliteStatement done(db_, "DELETE FROM leased_serials WHERE left <= 0 OR next = ''");
        if (advance.bind(1, *lease).bind(2, following ? std::to_string(*following) : std::string()).step() !=
                SQLITE_DONE ||
            done.step() != SQLITE_DONE) {
            taken.error = lastError();
            return taken;
        }
    }
    SqliteStatement store(db_, "INSERT INTO serials(job, next, last) VALUES(?1, ?2, ?3) "
                               "ON CONFLICT(job) DO UPDATE SET next = excluded.next, last = excluded.last");
    if (store.bind(1, job).bind(2, following ? std::to_string(*following) : std::string())
            .bind(3, std::to_string(*due))
            .step() != SQLITE_DONE) {
        taken.error = lastError();
        return taken;
    }
    taken.serial = due;
    taken.last.reset();
    taken.outcome = Reservation::Outcome::Reserved;
    return taken;
}

Reservation SqliteLog::reserve(LogRecord& chip, const SerialRule* rule)
{
    std::lock_guard lock(mutex_);
    Reservation failed;
    if (!flushPendingLocked(failed.error))
        return failed;
    const FullSync sync(db_);
    SqliteTransaction transaction(db_);
    if (!transaction.begin()) {
        failed.error = lastError();
        return failed;
    }
    Reservation reservation;
    reservation.outcome = Reservation::Outcome::Reserved;
    if (rule) {
        reservation = takeSerial(chip, *rule);
        if (reservation.outcome != Reservation::Outcome::Reserved)
            return reservation;
    }
    chip.serial = reservation.serial ? rule->text(*reservation.serial) : std::string();
    SqliteStatement touch(db_, "INSERT INTO counters(job, reservations) VALUES(?1, 1) "
                               "ON CONFLICT(job) DO UPDATE SET reservations = reservations + 1");
    SqliteStatement hold(db_, "INSERT INTO reservations(uid, time, station, programmer, job, job_hash, chip, jedec_id, "
                              "operations, serial, owner, serial_sequence) "
                              "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
    hold.bind(1, chip.uid).bind(2, chip.time).bind(3, chip.station).bind(4, chip.programmer).bind(5, chip.job);
    hold.bind(6, chip.jobHash).bind(7, chip.chip).bind(8, chip.jedecId).bind(9, chip.operations);
    hold.bind(10, chip.serial).bind(11, ProcessIdentity::current()).bind(12, chip.serialSequence);
    if (touch.bind(1, chip.job).step() != SQLITE_DONE || hold.step() != SQLITE_DONE || !transaction.commit()) {
        failed.error = lastError();
        return failed;
    }
    return reservation;
}

bool SqliteLog::addLease(const std::string& job, const std::string& sequence, uint64_t first, uint64_t count,
                         std::string& error)
{
    std::lock_guard lock(mutex_);
    SqliteTransaction transaction(db_);
    SqliteStatement add(db_, "INSERT INTO leased_serials(job, job_hash, next, left) VALUES(?1, ?2, ?3, ?4)");
    SqliteStatement mark(db_, "INSERT OR IGNORE INTO leased_jobs(job) VALUES(?1)");
    if (!transaction.begin() ||
        add.bind(1, job).bind(2, sequence).bind(3, std::to_string(first)).bind(4, static_cast<int64_t>(count)).step() !=
            SQLITE_DONE ||
        mark.bind(1, job).step() != SQLITE_DONE || !transaction.commit()) {
        error = lastError();
        return false;
    }
    return true;
}

bool SqliteLog::hasIssued(const std::string& job)
{
    std::lock_guard lock(mutex_);
    SqliteStatement state(db_, "SELECT 1 FROM serials WHERE job = ?1");
    return state.bind(1, job).step() == SQLITE_ROW;
}

std::optional<uint64_t> SqliteLog::peekSerial(const std::string& job, const SerialRule& rule)
{
    std::lock_guard lock(mutex_);
    SqliteStatement returned(db_, "SELECT value FROM returned_serials WHERE job = ?1 ORDER BY rowid LIMIT 1");
    if (returned.bind(1, job).step() == SQLITE_ROW)
        return valueOf(returned.text(0));
    // With none leased, the station's own next value is the least the line
    // server will give.
    SqliteStatement leased(db_, "SELECT next FROM leased_serials WHERE job = ?1 ORDER BY rowid LIMIT 1");
    if (leased_ && leased.bind(1, job).step() == SQLITE_ROW)
        return valueOf(leased.text(0));
    SqliteStatement state(db_, "SELECT next, last FROM serials WHERE job = ?1");
    if (state.bind(1, job).step() != SQLITE_ROW)
        return rule.first;
    if (const std::optional<uint64_t> next = valueOf(state.text(0)))
        return std::max(*next, rule.first);
    const std::optional<uint64_t> last = valueOf(state.text(1));
    return last ? rule.after(*last) : std::nullopt;
}

bool SqliteLog::commit(LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error,
                       int busyWaitMs)
{
    std::lock_guard lock(mutex_);
    if (busyWaitMs >= 0)
        sqlite3_busy_timeout(db_, busyWaitMs);
    const bool committed = commitLocked(record, returnedSerial, error);
    if (busyWaitMs >= 0)
        sqlite3_busy_timeout(db_, BusyTimeoutMs);
    if (!committed)
        return false;
    SqliteStatement stored(db_, "SELECT id FROM records WHERE uid = ?1");
    if (stored.bind(1, record.uid).step() == SQLITE_ROW)
        record.id = stored.integer(0);
    return true;
}

bool SqliteLog::commitLocked(const LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error)
{
    SqliteTransaction transaction(db_);
    if (!transaction.begin()) {
        error = lastError();
        return false;
    }
    SqliteStatement existing(db_, "SELECT result FROM records WHERE uid = ?1");
    if (existing.bind(1, record.uid).step() == SQLITE_ROW) {
        if (existing.text(0) != "interrupted")
            return true;
        // The chip's program was taken for dead, but its record turned up
        // after all: it replaces the interrupted one, as a new record so that
        // a line server is sent it too.
        SqliteStatement drop(db_, "DELETE FROM records WHERE uid = ?1");
        SqliteStatement uncount(db_, "UPDATE counters SET interrupted = interrupted - 1 WHERE job = ?1");
        if (drop.bind(1, record.uid).step() != SQLITE_DONE || uncount.bind(1, record.job).step() != SQLITE_DONE) {
            error = lastError();
            return false;
        }
    }
    SqliteStatement insert(
        db_, "INSERT INTO records(uid, time, station, programmer, job, job_hash, chip, jedec_id, "
             "operations, result, message, serial, serial_status, crc32, sha256, duration_ms, cycle_ms, "
             "operator, serial_sequence) "
             "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19)");
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
    insert.bind(index + 3, record.serialSequence);
    const bool passed = record.result == "pass";
    SqliteStatement count(db_, passed ? "INSERT INTO counters(job, passed, cycle_ms_total) VALUES(?1, 1, ?2) "
                                        "ON CONFLICT(job) DO UPDATE SET passed = passed + 1, "
                                        "cycle_ms_total = cycle_ms_total + excluded.cycle_ms_total"
                                      : "INSERT INTO counters(job, failed, cycle_ms_total) VALUES(?1, 1, ?2) "
                                        "ON CONFLICT(job) DO UPDATE SET failed = failed + 1, "
                                        "cycle_ms_total = cycle_ms_total + excluded.cycle_ms_total");
    SqliteStatement release(db_, "DELETE FROM reservations WHERE uid = ?1");
    if (insert.step() != SQLITE_DONE || count.bind(1, record.job).bind(2, record.cycleMs).step() != SQLITE_DONE ||
        release.bind(1, record.uid).step() != SQLITE_DONE) {
        error = lastError();
        return false;
    }
    if (returnedSerial) {
        SqliteStatement give(db_, "INSERT INTO returned_serials(job, value) VALUES(?1, ?2)");
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

std::string SqliteLog::pendingFilePrefix() const
{
    return path_ + ".pending-";
}

std::string SqliteLog::keepPending(const LogRecord& record, std::optional<uint64_t> returnedSerial)
{
    std::lock_guard lock(mutex_);
    Kept kept{PendingRecord{record, returnedSerial}, {}};
    // The uid names the file; only its safe characters go into the name.
    std::string name = record.uid;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.')
            c = '_';
    }
    const std::string text = kept.pending.text();
    const std::string file = pendingFilePrefix() + name + PendingSuffix;
    AtomicFile out(file);
    if (out.open() && out.write(text.data(), text.size()) && out.commit())
        kept.file = file;
    pending_.push_back(std::move(kept));
    return pending_.back().file;
}

bool SqliteLog::flushPending(std::string& error)
{
    std::lock_guard lock(mutex_);
    return flushPendingLocked(error);
}

bool SqliteLog::flushPendingLocked(std::string& error)
{
    while (!pending_.empty()) {
        const Kept& kept = pending_.front();
        if (!commitLocked(kept.pending.record, kept.pending.returnedSerial, error))
            return false;
        std::error_code ignored;
        if (!kept.file.empty())
            std::filesystem::remove(kept.file, ignored);
        pending_.erase(pending_.begin());
    }
    return true;
}

size_t SqliteLog::pendingCount()
{
    std::lock_guard lock(mutex_);
    return pending_.size();
}

// A file that cannot be read or written in stays for a later open: it may be
// the only copy of its chip's record.
void SqliteLog::writePendingFilesIn()
{
    namespace fs = std::filesystem;
    const fs::path prefix = pendingFilePrefix();
    std::error_code failure;
    for (const fs::directory_entry& entry : fs::directory_iterator(prefix.parent_path().empty() ? fs::path(".")
                                                                                              : prefix.parent_path(),
                                                                   failure)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(prefix.filename().string()) || !name.ends_with(PendingSuffix))
            continue;
        std::string text;
        if (SmallFile::read(entry.path().string(), LargestPendingFile, text) != SmallFile::Status::Read)
            continue;
        std::string error;
        const std::optional<PendingRecord> pending = PendingRecord::parse(text, error);
        if (pending && commitLocked(pending->record, pending->returnedSerial, error))
            fs::remove(entry.path(), failure);
    }
}

void SqliteLog::interruptAbandonedReservations()
{
    SqliteTransaction transaction(db_);
    if (!transaction.begin())
        return;
    SqliteStatement held(db_, "SELECT uid, owner, job FROM reservations");
    std::vector<std::pair<std::string, std::string>> abandoned;  // uid, job
    while (held.step() == SQLITE_ROW) {
        if (!ProcessIdentity::alive(held.text(1)))
            abandoned.emplace_back(held.text(0), held.text(2));
    }
    for (const auto& [uid, job] : abandoned) {
        SqliteStatement record(
            db_, "INSERT INTO records(uid, time, station, programmer, job, job_hash, chip, jedec_id, "
                 "operations, result, message, serial, serial_status, duration_ms, cycle_ms, "
                 "serial_sequence) "
                 "SELECT uid, time, station, programmer, job, job_hash, chip, jedec_id, operations, "
                 "'interrupted', ?2, serial, 'interrupted', 0, 0, serial_sequence FROM reservations "
                 "WHERE uid = ?1");
        SqliteStatement release(db_, "DELETE FROM reservations WHERE uid = ?1");
        SqliteStatement count(db_, "INSERT INTO counters(job, interrupted) VALUES(?1, 1) "
                                   "ON CONFLICT(job) DO UPDATE SET interrupted = interrupted + 1");
        // Written by whichever program opens the log next, whose language
        // the log does not know.
        record.bind(2, MessageCatalogue::text(Msg::InterruptedRecordMessage, English));
        if (record.bind(1, uid).step() != SQLITE_DONE || release.bind(1, uid).step() != SQLITE_DONE ||
            count.bind(1, job).step() != SQLITE_DONE)
            return;
    }
    transaction.commit();
}

ProductionCounters SqliteLog::counters(const std::string& job)
{
    ProductionCounters counters;
    {
        std::lock_guard lock(mutex_);
        SqliteStatement row(db_, "SELECT passed, failed, cycle_ms_total, interrupted FROM counters WHERE job = ?1");
        if (row.bind(1, job).step() == SQLITE_ROW) {
            counters.passed = row.integer(0);
            counters.failed = row.integer(1);
            counters.cycleMsTotal = row.integer(2);
            counters.interrupted = row.integer(3);
        }
    }
    counters.goodPerHour = ChipRate::goodPerHour(lastHourOfWork(job));
    return counters;
}

std::vector<LogRecord> SqliteLog::lastHourOfWork(const std::string& job)
{
    const std::vector<LogRecord> newest = records(LogFilter{job, {}, 1, 0});
    std::string error;
    const std::optional<int64_t> endMs = newest.empty() ? std::nullopt : IsoTime::parse(newest.front().time, error);
    if (!endMs)
        return {};
    return records(LogFilter{job, IsoTime::utcText(*endMs - ChipRate::HourMs), 0, 0});
}

bool SqliteLog::resetCounters(const std::string& job, std::string& error)
{
    std::lock_guard lock(mutex_);
    SqliteStatement reset(db_, "UPDATE counters SET passed = 0, failed = 0, cycle_ms_total = 0, interrupted = 0 "
                               "WHERE job = ?1");
    if (reset.bind(1, job).step() != SQLITE_DONE) {
        error = lastError();
        return false;
    }
    return true;
}

bool SqliteLog::recordChange(const JobChange& change, std::string& error)
{
    std::lock_guard lock(mutex_);
    SqliteStatement insert(db_, "INSERT INTO job_changes(time, station, job, who, what, before, after) "
                                "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    insert.bind(1, change.time).bind(2, change.station).bind(3, change.job).bind(4, change.who);
    if (insert.bind(5, change.what).bind(6, change.before).bind(7, change.after).step() != SQLITE_DONE) {
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
    SqliteStatement rows(db_, sql.c_str());
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
    SqliteStatement rows(db_, (std::string(SelectRecord) + "WHERE forwarded = 0 ORDER BY id LIMIT ?1").c_str());
    rows.bind(1, limit);
    while (rows.step() == SQLITE_ROW)
        found.push_back(recordOf(rows));
    return found;
}

bool SqliteLog::markForwarded(int64_t throughId, std::string& error)
{
    std::lock_guard lock(mutex_);
    SqliteStatement mark(db_, "UPDATE records SET forwarded = 1 WHERE forwarded = 0 AND id <= ?1");
    if (mark.bind(1, throughId).step() != SQLITE_DONE) {
        error = lastError();
        return false;
    }
    return true;
}

int64_t SqliteLog::unforwardedCount()
{
    std::lock_guard lock(mutex_);
    SqliteStatement count(db_, "SELECT COUNT(*) FROM records WHERE forwarded = 0");
    return count.step() == SQLITE_ROW ? count.integer(0) : 0;
}

bool SqliteLog::setAside(int64_t id, const std::string& reason, std::string& error)
{
    std::lock_guard lock(mutex_);
    SqliteTransaction transaction(db_);
    SqliteStatement mark(db_, "UPDATE records SET forwarded = 2 WHERE id = ?1");
    SqliteStatement keep(db_, "INSERT OR REPLACE INTO set_aside(id, reason) VALUES(?1, ?2)");
    if (!transaction.begin() || mark.bind(1, id).step() != SQLITE_DONE ||
        keep.bind(1, id).bind(2, reason).step() != SQLITE_DONE || !transaction.commit()) {
        error = lastError();
        return false;
    }
    return true;
}

SetAsideRecords SqliteLog::setAsideRecords()
{
    std::lock_guard lock(mutex_);
    SetAsideRecords found;
    SqliteStatement count(
        db_, "SELECT COUNT(*), (SELECT reason FROM set_aside ORDER BY id DESC LIMIT 1) FROM set_aside");
    if (count.step() == SQLITE_ROW) {
        found.count = count.integer(0);
        found.lastReason = count.text(1);
    }
    return found;
}
