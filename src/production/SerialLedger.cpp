#include "production/SerialLedger.h"

#include <sqlite3.h>

#include <algorithm>

#include "core/WholeNumber.h"
#include "production/SerialRule.h"
#include "production/SqliteStatement.h"
#include "production/SqliteTransaction.h"

// Serial values are kept as decimal text (WholeNumber reads them back):
// SQLite's integers are signed and a 64-bit serial may not fit. An empty
// text reads as nothing: a sequence used up.

Reservation SerialLedger::take(const LogRecord& chip, const SerialRule& rule)
{
    const std::string& job = chip.job;
    Reservation taken;
    SqliteStatement returned(db_, "SELECT rowid, value FROM returned_serials WHERE job = ?1 ORDER BY rowid LIMIT 1");
    if (returned.bind(1, job).step() == SQLITE_ROW) {
        SqliteStatement take(db_, "DELETE FROM returned_serials WHERE rowid = ?1");
        if (take.bind(1, returned.integer(0)).step() != SQLITE_DONE) {
            taken.error = sqlite3_errmsg(db_);
            return taken;
        }
        taken.serial = WholeNumber(returned.text(1));
        taken.outcome = taken.serial && *taken.serial <= rule.maximum() ? Reservation::Outcome::Reserved
                                                                         : Reservation::Outcome::SerialsUsedUp;
        return taken;
    }
    std::optional<uint64_t> due = rule.first;
    SqliteStatement state(db_, "SELECT next, last FROM serials WHERE job = ?1");
    if (state.bind(1, job).step() == SQLITE_ROW) {
        taken.last = WholeNumber(state.text(1));
        const std::optional<uint64_t> next = WholeNumber(state.text(0));
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
        due = WholeNumber(block.text(1));
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
            taken.error = sqlite3_errmsg(db_);
            return taken;
        }
    }
    SqliteStatement store(db_, "INSERT INTO serials(job, next, last) VALUES(?1, ?2, ?3) "
                               "ON CONFLICT(job) DO UPDATE SET next = excluded.next, last = excluded.last");
    if (store.bind(1, job).bind(2, following ? std::to_string(*following) : std::string())
            .bind(3, std::to_string(*due))
            .step() != SQLITE_DONE) {
        taken.error = sqlite3_errmsg(db_);
        return taken;
    }
    taken.serial = due;
    taken.last.reset();
    taken.outcome = Reservation::Outcome::Reserved;
    return taken;
}

bool SerialLedger::giveBack(const std::string& job, uint64_t value, std::string& error)
{
    SqliteStatement give(db_, "INSERT INTO returned_serials(job, value) VALUES(?1, ?2)");
    if (give.bind(1, job).bind(2, std::to_string(value)).step() != SQLITE_DONE) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool SerialLedger::addLease(const std::string& job, const std::string& sequence, uint64_t first, uint64_t count,
                         std::string& error)
{
    SqliteTransaction transaction(db_);
    SqliteStatement add(db_, "INSERT INTO leased_serials(job, job_hash, next, left) VALUES(?1, ?2, ?3, ?4)");
    SqliteStatement mark(db_, "INSERT OR IGNORE INTO leased_jobs(job) VALUES(?1)");
    if (!transaction.begin() ||
        add.bind(1, job).bind(2, sequence).bind(3, std::to_string(first)).bind(4, static_cast<int64_t>(count)).step() !=
            SQLITE_DONE ||
        mark.bind(1, job).step() != SQLITE_DONE || !transaction.commit()) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool SerialLedger::hasIssued(const std::string& job)
{
    SqliteStatement state(db_, "SELECT 1 FROM serials WHERE job = ?1");
    return state.bind(1, job).step() == SQLITE_ROW;
}

std::optional<uint64_t> SerialLedger::peek(const std::string& job, const SerialRule& rule)
{
    SqliteStatement returned(db_, "SELECT value FROM returned_serials WHERE job = ?1 ORDER BY rowid LIMIT 1");
    if (returned.bind(1, job).step() == SQLITE_ROW)
        return WholeNumber(returned.text(0));
    // With none leased, the station's own next value is the least the line
    // server will give.
    SqliteStatement leased(db_, "SELECT next FROM leased_serials WHERE job = ?1 ORDER BY rowid LIMIT 1");
    if (leased_ && leased.bind(1, job).step() == SQLITE_ROW)
        return WholeNumber(leased.text(0));
    SqliteStatement state(db_, "SELECT next, last FROM serials WHERE job = ?1");
    if (state.bind(1, job).step() != SQLITE_ROW)
        return rule.first;
    if (const std::optional<uint64_t> next = WholeNumber(state.text(0)))
        return std::max(*next, rule.first);
    const std::optional<uint64_t> last = WholeNumber(state.text(1));
    return last ? rule.after(*last) : std::nullopt;
}
