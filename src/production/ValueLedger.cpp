#include "production/ValueLedger.h"

#include <sqlite3.h>

#include "production/JobValues.h"
#include "production/SqliteStatement.h"
#include "production/SqliteTransaction.h"

bool ValueLedger::take(const LogRecord& chip, const JobValues& values, Reservation& reservation)
{
    const auto failed = [&] {
        reservation.outcome = Reservation::Outcome::Failed;
        reservation.error = sqlite3_errmsg(db_);
        return false;
    };
    for (size_t index = 0; index < values.size(); ++index) {
        const std::string field = values.field(index).name();
        std::optional<TakenValue> taken;
        std::string problem;
        // A returned value whose file was removed since is skipped: the
        // folder's owner took it out of production.
        for (;;) {
            SqliteStatement returned(db_, "SELECT rowid, key FROM returned_values WHERE job = ?1 AND field = ?2 "
                                          "ORDER BY rowid LIMIT 1");
            if (returned.bind(1, chip.job).bind(2, field).step() != SQLITE_ROW)
                break;
            SqliteStatement drop(db_, "DELETE FROM returned_values WHERE rowid = ?1");
            if (drop.bind(1, returned.integer(0)).step() != SQLITE_DONE)
                return failed();
            if ((taken = values.value(index, returned.text(1), problem)) || !problem.empty())
                break;
        }
        const bool leased = fromLeases(chip.job, field);
        std::optional<std::string> last = leased ? std::nullopt : this->last(chip.job, field);
        while (!taken && problem.empty()) {
            if (leased) {
                last = takeLeased(chip.job, field, index, reservation);
                if (!last)
                    return false;
            } else {
                last = values.keyAfter(index, last);
                if (!last) {
                    reservation.outcome = Reservation::Outcome::ValuesUsedUp;
                    reservation.error = field;
                    return false;
                }
                SqliteStatement advance(db_, "INSERT INTO value_positions(job, field, last) VALUES(?1, ?2, ?3) "
                                             "ON CONFLICT(job, field) DO UPDATE SET last = excluded.last");
                if (advance.bind(1, chip.job).bind(2, field).bind(3, *last).step() != SQLITE_DONE)
                    return failed();
            }
            taken = values.value(index, *last, problem);
        }
        if (!taken) {
            reservation.outcome = Reservation::Outcome::ValueRefused;
            reservation.error = problem;
            return false;
        }
        SqliteStatement hold(db_, "INSERT INTO reserved_values(uid, job, field, key) VALUES(?1, ?2, ?3, ?4)");
        if (hold.bind(1, chip.uid).bind(2, chip.job).bind(3, field).bind(4, taken->key).step() != SQLITE_DONE)
            return failed();
        reservation.values.push_back(std::move(*taken));
    }
    if (const std::string problem = values.problemOf(reservation.values); !problem.empty()) {
        reservation.outcome = Reservation::Outcome::ValueRefused;
        reservation.error = problem;
        return false;
    }
    return true;
}

bool ValueLedger::settle(const std::string& uid, bool giveBack, std::string& error)
{
    SqliteStatement give(db_, "INSERT INTO returned_values(job, field, key) "
                              "SELECT job, field, key FROM reserved_values WHERE uid = ?1 ORDER BY rowid");
    SqliteStatement done(db_, "DELETE FROM reserved_values WHERE uid = ?1");
    if ((giveBack && give.bind(1, uid).step() != SQLITE_DONE) || done.bind(1, uid).step() != SQLITE_DONE) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool ValueLedger::burnReserved(const std::string& uid)
{
    SqliteStatement done(db_, "DELETE FROM reserved_values WHERE uid = ?1");
    return done.bind(1, uid).step() == SQLITE_DONE;
}

std::optional<std::string> ValueLedger::last(const std::string& job, const std::string& field)
{
    SqliteStatement position(db_, "SELECT last FROM value_positions WHERE job = ?1 AND field = ?2");
    if (position.bind(1, job).bind(2, field).step() != SQLITE_ROW)
        return std::nullopt;
    return position.text(0);
}

bool ValueLedger::fromLeases(const std::string& job, const std::string& field)
{
    if (leased_)
        return true;
    SqliteStatement leasedBefore(db_, "SELECT 1 FROM leased_value_fields WHERE job = ?1 AND field = ?2");
    return leasedBefore.bind(1, job).bind(2, field).step() == SQLITE_ROW;
}

std::optional<std::string> ValueLedger::takeLeased(const std::string& job, const std::string& field, size_t index,
                                                   Reservation& reservation)
{
    SqliteStatement next(db_, "SELECT rowid, key FROM leased_values WHERE job = ?1 AND field = ?2 "
                              "ORDER BY rowid LIMIT 1");
    if (next.bind(1, job).bind(2, field).step() != SQLITE_ROW) {
        reservation.outcome = Reservation::Outcome::ValueLeaseNeeded;
        reservation.valueField = index;
        return std::nullopt;
    }
    SqliteStatement use(db_, "DELETE FROM leased_values WHERE rowid = ?1");
    if (use.bind(1, next.integer(0)).step() != SQLITE_DONE) {
        reservation.outcome = Reservation::Outcome::Failed;
        reservation.error = sqlite3_errmsg(db_);
        return std::nullopt;
    }
    return next.text(1);
}

bool ValueLedger::addLease(const std::string& job, const std::string& field, const std::vector<std::string>& keys,
                           std::string& error)
{
    SqliteTransaction transaction(db_);
    SqliteStatement mark(db_, "INSERT OR IGNORE INTO leased_value_fields(job, field) VALUES(?1, ?2)");
    bool written = transaction.begin() && mark.bind(1, job).bind(2, field).step() == SQLITE_DONE;
    for (size_t i = 0; written && i < keys.size(); ++i) {
        SqliteStatement add(db_, "INSERT INTO leased_values(job, field, key) VALUES(?1, ?2, ?3)");
        written = add.bind(1, job).bind(2, field).bind(3, keys[i]).step() == SQLITE_DONE;
    }
    if (!written || !transaction.commit()) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}
