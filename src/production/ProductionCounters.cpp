#include "production/ProductionCounters.h"

#include <algorithm>

std::optional<double> ProductionCounters::yieldPercent() const
{
    if (total() == 0)
        return std::nullopt;
    return 100.0 * static_cast<double>(passed) / static_cast<double>(total());
}

std::optional<int64_t> ProductionCounters::averageCycleMs() const
{
    const int64_t timed = passed + failed;
    if (timed == 0)
        return std::nullopt;
    return cycleMsTotal / timed;
}

std::optional<int64_t> ProductionCounters::timeLeftMs(int64_t target) const
{
    if (passed == 0)
        return std::nullopt;
    const int64_t wanted = std::max<int64_t>(target - passed, 0);
    // In floating point: a long job's cycle total times its target passes 2^63.
    return static_cast<int64_t>(static_cast<long double>(wanted) * static_cast<long double>(cycleMsTotal) /
                                static_cast<long double>(passed));
}
