#include <gtest/gtest.h>

#include "production/GoodChipTarget.h"
#include "production/ProductionCounters.h"

namespace {

// Chips under way hold their places: with 8 of 10 made and two under way a
// third programmer waits, and gets the place back when one of them fails.
TEST(GoodChipTarget, ChipsUnderWayHoldTheirPlaceUntilTheyFail)
{
    GoodChipTarget target(10, 8);
    EXPECT_EQ(target.claim(), GoodChipTarget::Claim::Granted);
    EXPECT_EQ(target.claim(), GoodChipTarget::Claim::Granted);
    EXPECT_EQ(target.claim(), GoodChipTarget::Claim::Wait);
    target.finished(false);
    EXPECT_EQ(target.claim(), GoodChipTarget::Claim::Granted);
    target.finished(true);
    target.finished(true);
    EXPECT_TRUE(target.reached());
    EXPECT_EQ(target.claim(), GoodChipTarget::Claim::Reached);
    target.setTarget(11);
    EXPECT_EQ(target.claim(), GoodChipTarget::Claim::Granted);
    target.released();
    target.setTarget(std::nullopt);
    EXPECT_FALSE(target.reached());
    EXPECT_EQ(target.good(), 10);
}

struct TimeLeftCase {
    const char* name;
    ProductionCounters counters;
    int64_t target;
    std::optional<int64_t> expected;
};

class TimeLeft : public testing::TestWithParam<TimeLeftCase> {};

TEST_P(TimeLeft, GoesByTheRateOfGoodChips)
{
    EXPECT_EQ(GetParam().counters.timeLeftMs(GetParam().target), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Counters, TimeLeft,
    testing::Values(
        // 10 chips in 100 s, half of them good: 20 s a good chip.
        TimeLeftCase{"FailuresSlowTheRate", {5, 5, 0, 100000, std::nullopt}, 8, 60000},
        TimeLeftCase{"NoGoodChipYet", {0, 3, 0, 30000, std::nullopt}, 8, std::nullopt},
        TimeLeftCase{"TargetMade", {9, 0, 0, 90000, std::nullopt}, 8, 0},
        TimeLeftCase{"LongJobsDoNotOverflow", {1, 0, 0, int64_t(1) << 60, std::nullopt}, 3, int64_t(1) << 61}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
