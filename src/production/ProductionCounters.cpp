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

std::optional<double> ProductionCounters::chipsPerHour() const
{
    const std::optional<int64_t> cycle = averageCycleMs();
    if (!cycle || *cycle <= 0)
        return std::nullopt;
    return 3600000.0 / static_cast<double>(*cycle);
}

std::optional<int64_t> ProductionCounters::timeLeftMs(int64_t target) const
{
    const std::optional<int64_t> cycle = averageCycleMs();
    if (!cycle)
        return std::nullopt;
    return std::max<int64_t>(target - total(), 0) * *cycle;
}
