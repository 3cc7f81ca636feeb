#include <gtest/gtest.h>

#include "station/BearerToken.h"
#include "station/StationMetrics.h"

namespace {

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(StationMetrics, CountsByResultAndKeepsCumulativeBuckets)
{
    StationMetrics metrics;
    metrics.countChip("P1", "job \"a\"\\b", ChipResult::Pass, 1500);
    metrics.countChip("P1", "job \"a\"\\b", ChipResult::Fail, 400);
    metrics.countChip("P1", "job \"a\"\\b", ChipResult::Pass, 200000);
    StationMetrics::Gauges gauges;
    gauges.programmersUp = {{"P1", true}, {"P2", false}};
    gauges.serialsLeft = std::make_pair(std::string("line\nbreak"), uint64_t{7});
    const std::string text = metrics.render(gauges);
    EXPECT_TRUE(contains(text, "belcor_chips_total{result=\"pass\",programmer=\"P1\",job=\"job \\\"a\\\"\\\\b\"} 2\n"));
    EXPECT_TRUE(contains(text, "belcor_chips_total{result=\"fail\",programmer=\"P1\",job=\"job \\\"a\\\"\\\\b\"} 1\n"));
    EXPECT_TRUE(contains(text, "belcor_chip_cycle_seconds_bucket{programmer=\"P1\",le=\"0.5\"} 1\n"));
    EXPECT_TRUE(contains(text, "belcor_chip_cycle_seconds_bucket{programmer=\"P1\",le=\"2\"} 2\n"));
    EXPECT_TRUE(contains(text, "belcor_chip_cycle_seconds_bucket{programmer=\"P1\",le=\"120\"} 2\n"));
    EXPECT_TRUE(contains(text, "belcor_chip_cycle_seconds_bucket{programmer=\"P1\",le=\"+Inf\"} 3\n"));
    EXPECT_TRUE(contains(text, "belcor_chip_cycle_seconds_sum{programmer=\"P1\"} 201.90000000000001\n"));
    EXPECT_TRUE(contains(text, "belcor_programmer_up{programmer=\"P2\"} 0\n"));
    EXPECT_TRUE(contains(text, "belcor_serials_left{job=\"line\\nbreak\"} 7\n"));
}

TEST(BearerToken, TellsMissingFromWrong)
{
    const BearerToken token("0123456789abcdef");
    EXPECT_EQ(token.check("Bearer 0123456789abcdef"), BearerToken::Check::Right);
    EXPECT_EQ(token.check("bearer  0123456789abcdef "), BearerToken::Check::Right);
    EXPECT_EQ(token.check("Bearer 0123456789abcdeF"), BearerToken::Check::Wrong);
    EXPECT_EQ(token.check("Bearer 0123456789abcdef0"), BearerToken::Check::Wrong);
    EXPECT_EQ(token.check(""), BearerToken::Check::Missing);
    EXPECT_EQ(token.check("Basic dXNlcjpwYXNz"), BearerToken::Check::Missing);
    EXPECT_EQ(token.check("Bearer "), BearerToken::Check::Missing);
}

}  // namespace
