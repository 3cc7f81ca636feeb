#include <gtest/gtest.h>

#include <string>

#include "ops/ElapsedText.h"

namespace {

struct DurationCase {
    const char* name;
    int64_t milliseconds;
    std::string elapsed;   // the time panel
    std::string duration;  // production counters
    std::string clock;     // the command line's progress bar
};

class Durations : public testing::TestWithParam<DurationCase> {};

TEST_P(Durations, ReadAsEachViewShowsThem)
{
    const DurationCase& c = GetParam();
    EXPECT_EQ(ElapsedText(c.milliseconds), c.elapsed);
    EXPECT_EQ(DurationText(c.milliseconds), c.duration);
    EXPECT_EQ(ClockText(c.milliseconds), c.clock);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Durations,
    testing::Values(DurationCase{"NegativeReadsZero", -5000, "00:00:00", "0:00", "00:00"},
                    DurationCase{"PartSecondsDropped", 59999, "00:00:59", "0:59", "00:59"},
                    DurationCase{"Minutes", 123000, "00:02:03", "2:03", "02:03"},
                    DurationCase{"JustUnderAnHour", 3599000, "00:59:59", "59:59", "59:59"},
                    DurationCase{"AnHourOn", 3723000, "01:02:03", "1:02:03", "1:02:03"},
                    DurationCase{"ManyHours", 360000000, "100:00:00", "100:00:00", "100:00:00"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
