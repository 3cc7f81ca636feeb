#pragma once

#include <optional>
#include <string>

#include "production/LogRecord.h"
#include "production/Reservation.h"

struct sqlite3;
class JobValues;

// Where each job's value sources stand in the station's log: the last value
// issued from each field, the values failed chips gave back, and the values
// of the chips under way. Its callers hold the log's lock; take(), settle()
// and burnReserved() run inside their transaction.
class ValueLedger {
public:
    explicit ValueLedger(sqlite3* db) : db_(db) {}

    // Each field's value for `chip`: one a failed chip gave back, else the
    // one after the last issued, which it advances. Sets `reservation`'s
    // values, or its outcome to ValuesUsedUp (`error`: the field's name),
    // ValueRefused (`error`: why) or Failed. False when no chip may start.
    bool take(const LogRecord& chip, const JobValues& values, Reservation& reservation);
    // At the chip's record: its values go back for the next chip, or are done with.
    bool settle(const std::string& uid, bool giveBack, std::string& error);
    // The values of a chip whose program died are burned: no one knows
    // whether the chip carries them.
    bool burnReserved(const std::string& uid);
    // The last value issued from a field; nothing before the first.
    std::optional<std::string> last(const std::string& job, const std::string& field);

private:
    sqlite3* db_;
};
