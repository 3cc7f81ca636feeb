#include <string>

#include <gtest/gtest.h>

#include "production/EngineerPin.h"
#include "production/JobFile.h"
#include "production/PinThrottle.h"

namespace {

// Few iterations keep the tests quick; the file keeps whatever was used.
constexpr uint32_t QuickIterations = EngineerPin::LeastIterations;

TEST(EngineerPin, MatchesOnlyItsOwnPinAndSaltsEachHash)
{
    const std::optional<EngineerPin> pin = EngineerPin::of("4711", QuickIterations);
    ASSERT_TRUE(pin);
    EXPECT_TRUE(pin->matches("4711"));
    for (const char* wrong : {"", "471", "47110", "4712", " 4711"})
        EXPECT_FALSE(pin->matches(wrong)) << wrong;
    const std::optional<EngineerPin> again = EngineerPin::of("4711", QuickIterations);
    EXPECT_NE(again->salt, pin->salt);
    EXPECT_NE(again->hash, pin->hash);
}

TEST(EngineerPin, RefusesPinsTooShortTooLongOrWithControlCharacters)
{
    for (const std::string pin : {std::string("123"), std::string(65, '1'), std::string("12\n34")})
        EXPECT_FALSE(EngineerPin::of(pin, QuickIterations)) << pin;
}

// The job file carries the hash and its salt, never the PIN; a hand-edited
// entry that could not be checked (or would take minutes to) is refused.
TEST(EngineerPin, JobFileKeepsTheHashAndRefusesUnusableEntries)
{
    ProductionJob job;
    job.image = "image.bin";
    job.pin = EngineerPin::of("secret-4711", QuickIterations);
    job.operatorRequired = true;
    const std::string text = JobFile::text(job);
    EXPECT_EQ(text.find("secret-4711"), std::string::npos);
    const JobFileRead read = JobFile::parse(text, "job");
    ASSERT_TRUE(read.job) << read.error;
    EXPECT_TRUE(read.job->pin->matches("secret-4711"));
    EXPECT_TRUE(read.job->operatorRequired);

    const auto edited = [&](const std::string& from, const std::string& to) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        return JobFile::parse(changed, "job").error;
    };
    EXPECT_NE(edited("\"iterations\": 1000", "\"iterations\": 999999999"), "");
    EXPECT_NE(edited("pbkdf2-sha256", "md5"), "");
    EXPECT_NE(edited(job.pin->salt, "00"), "");
    EXPECT_NE(edited(job.pin->hash, std::string(64, 'G')), "");
}

TEST(PinThrottle, ThirdMissInARowWaitsThirtySeconds)
{
    int64_t now = 1000;
    PinThrottle throttle([&now] { return now; });
    throttle.missed();
    throttle.missed();
    EXPECT_EQ(throttle.waitLeftMs(), 0);
    throttle.passed();
    throttle.missed();
    throttle.missed();
    EXPECT_EQ(throttle.waitLeftMs(), 0);
    throttle.missed();
    EXPECT_EQ(throttle.waitLeftMs(), PinThrottle::WaitMs);
    // Tries during the wait are not taken, so they cannot lengthen it.
    now += 10000;
    throttle.missed();
    EXPECT_EQ(throttle.waitLeftMs(), 20000);
    now += 20000;
    EXPECT_EQ(throttle.waitLeftMs(), 0);
    throttle.missed();
    EXPECT_EQ(throttle.waitLeftMs(), 0);
}

}  // namespace
