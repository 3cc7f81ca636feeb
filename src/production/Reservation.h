#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "production/TakenValue.h"

// What a reservation before a chip gave.
struct Reservation {
    enum class Outcome {
        Reserved,       // the chip may be programmed
        SerialsUsedUp,  // the rule has no further value: production ends here
        Failed,         // the log cannot be written
        LeaseNeeded,    // serials come from the line server and none is leased
        LeaseFailed,    // the line server leased none: `error` in its words, empty without an answer
        LeaseUnreachable,  // serials come from a line server, none is left leased and there is none
        ValuesUsedUp,   // a value source has no further value: `error` names it
        ValueRefused,   // a value cannot be written into the chip: `error` says why
        ValueLeaseNeeded,  // field `valueField`'s values come from the line server and none is leased
        ValueLeaseFailed,  // the line server leased none of field `valueField`: `error` says why
    };
    Outcome outcome = Outcome::Failed;
    // Reserved: the chip's serial number (with a rule). SerialsUsedUp: the
    // value that was due but does not fit the rule, when there is one.
    std::optional<uint64_t> serial;
    // SerialsUsedUp: the last value issued, when the log knows it.
    std::optional<uint64_t> last;
    std::string error;  // Failed: why
    std::vector<TakenValue> values;  // Reserved: the chip's job values
    size_t valueField = 0;           // ValueLeaseNeeded, ValueLeaseFailed: the job's field
};
