#include "production/ProductionSummary.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "core/MessageCatalogue.h"

namespace {

constexpr const char* Gap = "    ";

std::string labelled(Msg label, const std::string& value, int language)
{
    return MessageCatalogue::text(label, language) + " " + value;
}

}  // namespace

std::string ProductionSummary::counters(const ProductionCounters& counters, int language)
{
    char yield[32] = "-";
    if (const std::optional<double> percent = counters.yieldPercent())
        std::snprintf(yield, sizeof yield, "%.1f%%", *percent);
    std::string text = labelled(Msg::PassedLabel, std::to_string(counters.passed), language) + Gap +
                       labelled(Msg::FailedLabel, std::to_string(counters.failed), language) + Gap;
    if (counters.interrupted)
        text += labelled(Msg::InterruptedLabel, std::to_string(counters.interrupted), language) + Gap;
    return text + labelled(Msg::TotalLabel, std::to_string(counters.total()), language) + Gap +
           labelled(Msg::YieldLabel, yield, language);
}

std::string ProductionSummary::throughput(const ProductionCounters& counters, int64_t programmers, int64_t target,
                                          int language)
{
    const int64_t stationSize = std::max<int64_t>(1, programmers);
    char cycle[32] = "-";
    if (const std::optional<int64_t> average = counters.averageCycleMs())
        std::snprintf(cycle, sizeof cycle, "%.1f s", static_cast<double>(*average) / 1000.0);
    const std::optional<double> rate = counters.chipsPerHour();
    const std::optional<int64_t> left = target > 0 ? counters.timeLeftMs(target) : std::nullopt;
    return labelled(Msg::CycleLabel, cycle, language) + Gap +
           labelled(Msg::ChipsPerHourLabel, rate ? std::to_string(static_cast<int64_t>(*rate)) : "-", language) +
           Gap + labelled(Msg::TimeLeftLabel, left ? DurationText(*left / stationSize) : "-", language);
}

std::string ProductionSummary::checksums(const std::string& crc32, const std::string& sha256)
{
    return "CRC-32 " + crc32 + Gap + "SHA-256 " + sha256;
}
