#pragma once

#include <optional>
#include <string>
#include <vector>

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

    // With a line server: every field's values come from the keys it leased
    // to this station (a value given back still goes to this station's next
    // chip). A field this log ever leased for takes leased keys alone, with a
    // line server or without: its own next value could be another station's.
    void takeFromLeases() { leased_ = true; }
    // Keys of `field` of `job`, leased to this station, in order.
    bool addLease(const std::string& job, const std::string& field, const std::vector<std::string>& keys,
                  std::string& error);

    // Each field's value for `chip`: one a failed chip gave back, else the
    // one after the last issued, which it advances. Sets `reservation`'s
    // values, or its outcome to ValuesUsedUp (`error`: the field's name),
    // ValueRefused (`error`: why), ValueLeaseNeeded or Failed. False when no
    // chip may start.
    bool take(const LogRecord& chip, const JobValues& values, Reservation& reservation);
    // At the chip's record: its values go back for the next chip, or are done with.
    bool settle(const std::string& uid, bool giveBack, std::string& error);
    // The values of a chip whose program died are burned: no one knows
    // whether the chip carries them.
    bool burnReserved(const std::string& uid);
    // The last value issued from a field; nothing before the first.
    std::optional<std::string> last(const std::string& job, const std::string& field);

private:
    // The field's next leased key, which it uses up: nothing, with
    // `reservation` saying why, when none is left or the log fails.
    std::optional<std::string> takeLeased(const std::string& job, const std::string& field, size_t index,
                                          Reservation& reservation);
    bool fromLeases(const std::string& job, const std::string& field);

    sqlite3* db_;
    bool leased_ = false;
};
