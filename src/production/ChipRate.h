#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "production/LogRecord.h"

// Good chips an hour, by one rule for every front end and every number of
// programmers: the good chips of the last hour of work, or of the run so far
// when the run is shorter. Work ends with the newest chip; the run is the
// newest chip's chain of cycles back to an idle gap (a chip's cycle runs from
// the previous chip's end on its programmer, so the chips of one run touch).
struct ChipRate {
    static constexpr int64_t HourMs = 3'600'000;
    // Cycles that begin this long after the earlier chips ended still belong
    // to their run: times are stamped to the millisecond and cycles measured apart.
    static constexpr int64_t ChainSlackMs = 1000;

    // `records`: a job's chips, in any order; those older than an hour before
    // the newest may be left out. Nothing without a passed or failed chip.
    static std::optional<double> goodPerHour(const std::vector<LogRecord>& records);
};
