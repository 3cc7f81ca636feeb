#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "production/ChipRate.h"
#include "production/IsoTime.h"

namespace {

struct Chip {
    int64_t endSeconds;  // after 10:00:00
    int64_t cycleSeconds;
    const char* result;
};

struct RateCase {
    const char* name;
    std::vector<Chip> chips;
    std::optional<double> expected;
};

LogRecord recordOf(const Chip& chip)
{
    LogRecord record;
    record.time = IsoTime::utcText(1796637600000 + chip.endSeconds * 1000);
    record.cycleMs = chip.cycleSeconds * 1000;
    record.result = ChipResultOf(chip.result);
    return record;
}

class ChipRateRule : public testing::TestWithParam<RateCase> {};

TEST_P(ChipRateRule, CountsGoodChipsOverTheLastHourOfWorkOrTheRunSoFar)
{
    std::vector<LogRecord> records;
    for (const Chip& chip : GetParam().chips)
        records.push_back(recordOf(chip));
    const std::optional<double> rate = ChipRate::goodPerHour(records);
    ASSERT_EQ(rate.has_value(), GetParam().expected.has_value());
    if (rate) {
        EXPECT_NEAR(*rate, *GetParam().expected, 1e-6);
    }
}

// Two programmers side by side, 10 s a chip each, for `minutes`; the newest last.
std::vector<Chip> gangOfTwo(int64_t startSeconds, int64_t minutes)
{
    std::vector<Chip> chips;
    for (int64_t end = startSeconds + 10; end <= startSeconds + minutes * 60; end += 10) {
        chips.push_back({end, 10, "pass"});
        chips.push_back({end + 1, 10, "pass"});
    }
    return chips;
}

std::vector<Chip> joined(std::vector<Chip> first, const std::vector<Chip>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChipRateRule,
    testing::Values(
        RateCase{"NoChipNoRate", {}, std::nullopt},
        RateCase{"InterruptedChipsHaveNoCycle", {{5, 0, "interrupted"}}, std::nullopt},
        RateCase{"OneChipIsItsOwnCycle", {{20, 20, "pass"}}, 180.0},
        RateCase{"FailedChipsTakeTimeButCountNothing", {{10, 10, "pass"}, {20, 10, "fail"}}, 180.0},
        // Both programmers' chips, in the 10 minutes and 1 second since the run began.
        RateCase{"GangCountsEveryProgrammer", gangOfTwo(0, 10), 120 * 3600.0 / 601},
        // A run ten minutes after the last, within the hour: only its own minutes count.
        RateCase{"ShortRunAfterAPauseCountsFromItsStart", joined(gangOfTwo(0, 10), gangOfTwo(1200, 5)),
                 60 * 3600.0 / 301},
        // A two-hour run: its last hour, however it began.
        RateCase{"LongRunCountsItsLastHour", gangOfTwo(0, 120), 720.0},
        RateCase{"OrderDoesNotMatter", {{20, 10, "pass"}, {10, 10, "pass"}}, 360.0}),
    [](const testing::TestParamInfo<RateCase>& info) { return std::string(info.param.name); });

}  // namespace
