#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "cli/ProgressThrottle.h"

namespace {

struct ThrottleCase {
    const char* name;
    std::vector<int64_t> times;  // of setProgress calls; -1: a new step starts
    std::vector<int64_t> sent;   // the times an event went out
};

class ProgressThrottles : public testing::TestWithParam<ThrottleCase> {};

TEST_P(ProgressThrottles, SendAFewEventsASecond)
{
    ProgressThrottle throttle;
    std::vector<int64_t> sent;
    for (const int64_t time : GetParam().times) {
        if (time < 0)
            throttle.restart();
        else if (throttle.due(time))
            sent.push_back(time);
    }
    EXPECT_EQ(sent, GetParam().sent);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, ProgressThrottles,
    testing::Values(ThrottleCase{"BlockAfterBlock", {0, 10, 20, 149, 150, 160, 299, 300}, {0, 150, 300}},
                    ThrottleCase{"SlowBlocksEachGoOut", {0, 400, 800}, {0, 400, 800}},
                    ThrottleCase{"NewStepStartsAtOnce", {0, 50, -1, 60, 70}, {0, 60}},
                    ThrottleCase{"ClockThatWentBack", {1000, 500, 600, 650}, {1000, 500, 650}}),
    [](const testing::TestParamInfo<ThrottleCase>& info) { return std::string(info.param.name); });

}  // namespace
