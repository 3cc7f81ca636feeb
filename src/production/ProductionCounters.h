#pragma once

#include <cstdint>
#include <optional>

// The counters' times read as DurationText gives them.
#include "ops/ElapsedText.h"

// A job's pass/fail counts and the cycle times behind its throughput, kept in
// the log database so they survive restarts. Interrupted chips were under way
// when their program ended: they count among the chips handled, not in the
// average cycle.
struct ProductionCounters {
    int64_t passed = 0;
    int64_t failed = 0;
    int64_t interrupted = 0;
    int64_t cycleMsTotal = 0;

    int64_t total() const { return passed + failed + interrupted; }
    // Percent passed; nothing before the first chip.
    std::optional<double> yieldPercent() const;
    std::optional<int64_t> averageCycleMs() const;
    std::optional<double> chipsPerHour() const;
    // At the average cycle, until `target` chips are done.
    std::optional<int64_t> timeLeftMs(int64_t target) const;
};
