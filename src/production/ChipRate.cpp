#include "production/ChipRate.h"

#include <algorithm>
#include <string>

#include "production/IsoTime.h"

namespace {

struct Chip {
    int64_t endMs;
    int64_t cycleMs;
    bool good;
};

}  // namespace

std::optional<double> ChipRate::goodPerHour(const std::vector<LogRecord>& records)
{
    std::vector<Chip> chips;
    for (const LogRecord& record : records) {
        // An interrupted chip has no cycle to count.
        if (record.result == ChipResult::Interrupted)
            continue;
        std::string error;
        if (const std::optional<int64_t> end = IsoTime::parse(record.time, error))
            chips.push_back({*end, std::max<int64_t>(record.cycleMs, 0), record.result == ChipResult::Pass});
    }
    if (chips.empty())
        return std::nullopt;
    std::sort(chips.begin(), chips.end(), [](const Chip& a, const Chip& b) { return a.endMs > b.endMs; });
    const int64_t endMs = chips.front().endMs;
    const int64_t hourStartMs = endMs - HourMs;
    int64_t runStartMs = endMs - chips.front().cycleMs;
    int64_t good = 0;
    for (const Chip& chip : chips) {
        if (chip.endMs < runStartMs - ChainSlackMs || chip.endMs <= hourStartMs)
            break;
        runStartMs = std::min(runStartMs, chip.endMs - chip.cycleMs);
        good += chip.good ? 1 : 0;
    }
    const int64_t spanMs = endMs - std::max(runStartMs, hourStartMs);
    if (spanMs <= 0)
        return std::nullopt;
    return static_cast<double>(good) * static_cast<double>(HourMs) / static_cast<double>(spanMs);
}
