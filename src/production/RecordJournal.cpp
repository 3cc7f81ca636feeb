#include "production/RecordJournal.h"

#include <sqlite3.h>

#include <cctype>
#include <filesystem>

#include "core/AtomicFile.h"
#include "core/MessageCatalogue.h"
#include "core/SmallFile.h"
#include "production/JobValues.h"
#include "production/ProcessIdentity.h"
#include "production/SerialLedger.h"
#include "production/SerialRule.h"
#include "production/SqliteStatement.h"
#include "production/SqliteTransaction.h"

namespace {

constexpr const char* PendingSuffix = ".json";
// A record with its longest failure text stays far below this.
constexpr size_t LargestPendingFile = 1 << 20;

// The counters column a record of `result` adds to: a chip whose outcome is
// unknown is neither good nor failed, and has no cycle to time.
const char* counterOf(ChipResult result)
{
    switch (result) {
    case ChipResult::Pass: return "passed";
    case ChipResult::Fail: return "failed";
    case ChipResult::Interrupted: return "interrupted";
    }
    return "interrupted";
}

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

Reservation RecordJournal::reserve(LogRecord& chip, const SerialRule* rule, const JobValues* values)
{
    Reservation failed;
    if (!flushPending(failed.error))
        return failed;
    const FullSync sync(db_);
    SqliteTransaction transaction(db_);
    if (!transaction.begin()) {
        failed.error = sqlite3_errmsg(db_);
        return failed;
    }
    Reservation reservation;
    reservation.outcome = Reservation::Outcome::Reserved;
    if (rule) {
        reservation = serials_.take(chip, *rule);
        if (reservation.outcome != Reservation::Outcome::Reserved)
            return reservation;
    }
    if (values && !values_.take(chip, *values, reservation))
        return reservation;
    chip.serial = reservation.serial ? rule->text(*reservation.serial) : std::string();
    chip.values = values ? JobValues::recordText(*values, reservation.values) : std::string();
    SqliteStatement touch(db_, "INSERT INTO counters(job, reservations) VALUES(?1, 1) "
                               "ON CONFLICT(job) DO UPDATE SET reservations = reservations + 1");
    SqliteStatement hold(db_, "INSERT INTO reservations(uid, time, station, programmer, job, job_hash, chip, jedec_id, "
                              "operations, serial, owner, serial_sequence, job_values) "
                              "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)");
    hold.bind(1, chip.uid).bind(2, chip.time).bind(3, chip.station).bind(4, chip.programmer).bind(5, chip.job);
    hold.bind(6, chip.jobHash).bind(7, chip.chip).bind(8, chip.jedecId).bind(9, chip.operations);
    hold.bind(10, chip.serial).bind(11, ProcessIdentity::current()).bind(12, chip.serialSequence);
    hold.bind(13, chip.values);
    if (touch.bind(1, chip.job).step() != SQLITE_DONE || hold.step() != SQLITE_DONE || !transaction.commit()) {
        failed.error = sqlite3_errmsg(db_);
        return failed;
    }
    return reservation;
}

bool RecordJournal::commit(LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error)
{
    if (!write(record, returnedSerial, error))
        return false;
    SqliteStatement stored(db_, "SELECT id FROM records WHERE uid = ?1");
    if (stored.bind(1, record.uid).step() == SQLITE_ROW)
        record.id = stored.integer(0);
    return true;
}

bool RecordJournal::write(const LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error)
{
    SqliteTransaction transaction(db_);
    if (!transaction.begin()) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    SqliteStatement existing(db_, "SELECT result FROM records WHERE uid = ?1");
    if (existing.bind(1, record.uid).step() == SQLITE_ROW) {
        if (ChipResultOf(existing.text(0)) != ChipResult::Interrupted)
            return true;
        // The chip's program was taken for dead, but its record turned up
        // after all: it replaces the interrupted one, as a new record so that
        // a line server is sent it too.
        SqliteStatement drop(db_, "DELETE FROM records WHERE uid = ?1");
        SqliteStatement uncount(db_, "UPDATE counters SET interrupted = interrupted - 1 WHERE job = ?1");
        if (drop.bind(1, record.uid).step() != SQLITE_DONE || uncount.bind(1, record.job).step() != SQLITE_DONE) {
            error = sqlite3_errmsg(db_);
            return false;
        }
    }
    SqliteStatement insert(
        db_, "INSERT INTO records(uid, time, station, programmer, job, job_hash, chip, jedec_id, "
             "operations, result, message, serial, serial_status, crc32, sha256, duration_ms, cycle_ms, "
             "operator, serial_sequence, job_values, values_status) "
             "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21)");
    const std::string result = ChipResultWord(record.result);
    const std::string* texts[] = {&record.uid, &record.time, &record.station, &record.programmer, &record.job,
                                  &record.jobHash, &record.chip, &record.jedecId, &record.operations,
                                  &result, &record.message, &record.serial, &record.serialStatus,
                                  &record.crc32, &record.sha256};
    int index = 1;
    for (const std::string* text : texts)
        insert.bind(index++, *text);
    insert.bind(index, record.durationMs);
    insert.bind(index + 1, record.cycleMs);
    insert.bind(index + 2, record.operatorName);
    insert.bind(index + 3, record.serialSequence);
    insert.bind(index + 4, record.values);
    insert.bind(index + 5, record.valuesStatus);
    const std::string counter = counterOf(record.result);
    const std::string counting = "INSERT INTO counters(job, " + counter + ", cycle_ms_total) VALUES(?1, 1, ?2) "
                                 "ON CONFLICT(job) DO UPDATE SET " + counter + " = " + counter + " + 1, "
                                 "cycle_ms_total = cycle_ms_total + excluded.cycle_ms_total";
    SqliteStatement count(db_, counting.c_str());
    const int64_t cycleMs = record.result == ChipResult::Interrupted ? 0 : record.cycleMs;
    SqliteStatement release(db_, "DELETE FROM reservations WHERE uid = ?1");
    if (insert.step() != SQLITE_DONE || count.bind(1, record.job).bind(2, cycleMs).step() != SQLITE_DONE ||
        release.bind(1, record.uid).step() != SQLITE_DONE) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    if (returnedSerial && !serials_.giveBack(record.job, *returnedSerial, error))
        return false;
    if (!values_.settle(record.uid, record.valuesStatus == "returned", error))
        return false;
    if (!transaction.commit()) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

std::string RecordJournal::pendingFilePrefix() const
{
    return path_ + ".pending-";
}

std::string RecordJournal::keepPending(const LogRecord& record, std::optional<uint64_t> returnedSerial)
{
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

bool RecordJournal::flushPending(std::string& error)
{
    while (!pending_.empty()) {
        const Kept& kept = pending_.front();
        if (!write(kept.pending.record, kept.pending.returnedSerial, error))
            return false;
        std::error_code ignored;
        if (!kept.file.empty())
            std::filesystem::remove(kept.file, ignored);
        pending_.erase(pending_.begin());
    }
    return true;
}

size_t RecordJournal::pendingCount()
{
    return pending_.size();
}

// A file that cannot be read or written in stays for a later open: it may be
// the only copy of its chip's record.
void RecordJournal::writePendingFilesIn()
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
        if (pending && write(pending->record, pending->returnedSerial, error))
            fs::remove(entry.path(), failure);
    }
}

void RecordJournal::interruptAbandonedReservations()
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
                 "serial_sequence, job_values, values_status) "
                 "SELECT uid, time, station, programmer, job, job_hash, chip, jedec_id, operations, "
                 "'interrupted', ?2, serial, 'interrupted', 0, 0, serial_sequence, job_values, "
                 "CASE job_values WHEN '' THEN '' ELSE 'interrupted' END FROM reservations "
                 "WHERE uid = ?1");
        SqliteStatement release(db_, "DELETE FROM reservations WHERE uid = ?1");
        SqliteStatement count(db_, "INSERT INTO counters(job, interrupted) VALUES(?1, 1) "
                                   "ON CONFLICT(job) DO UPDATE SET interrupted = interrupted + 1");
        // Written by whichever program opens the log next, whose language
        // the log does not know.
        record.bind(2, MessageCatalogue::text(Msg::InterruptedRecordMessage, English));
        if (record.bind(1, uid).step() != SQLITE_DONE || release.bind(1, uid).step() != SQLITE_DONE ||
            count.bind(1, job).step() != SQLITE_DONE || !values_.burnReserved(uid))
            return;
    }
    transaction.commit();
}
