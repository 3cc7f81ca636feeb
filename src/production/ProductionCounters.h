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
    // Good chips an hour as ChipRate measures them in the log's records.
    std::optional<double> goodPerHour;

    int64_t total() const { return passed + failed + interrupted; }
    // Percent passed; nothing before the first chip.
    std::optional<double> yieldPercent() const;
    std::optional<int64_t> averageCycleMs() const;
    // The station's good chips an hour (ChipRate's rule); nothing before the first chip.
    std::optional<double> chipsPerHour() const { return goodPerHour; }
    // Until the job has `target` good chips, at the rate good chips have
    // come so far (every chip's cycle counts: failed ones cost time too);
    // nothing before the first good chip.
    std::optional<int64_t> timeLeftMs(int64_t target) const;
};
