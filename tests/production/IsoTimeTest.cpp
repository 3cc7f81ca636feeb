#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "production/IsoTime.h"

namespace {

struct LocalCase {
    const char* name;
    const char* zone;  // POSIX TZ: the offset's sign is west of UTC
    const char* utc;
    const char* local;
};

class LocalTime : public testing::TestWithParam<LocalCase> {
protected:
    void SetUp() override
    {
        if (const char* zone = std::getenv("TZ"))
            saved_ = zone;
        setenv("TZ", GetParam().zone, 1);
        tzset();
    }
    void TearDown() override
    {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

TEST_P(LocalTime, ShowsTheStationsTimeWithItsOffset)
{
    EXPECT_EQ(IsoTime::localText(GetParam().utc), GetParam().local);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, LocalTime,
    testing::Values(LocalCase{"EastOfUtc", "CET-1", "2026-12-07T15:04:12.999Z", "2026-12-07 16:04:12 +01:00"},
                    LocalCase{"HalfHourWestAcrossMidnight", "NST+3:30", "2026-12-07T01:00:00.000Z",
                              "2026-12-06 21:30:00 -03:30"},
                    LocalCase{"Utc", "UTC0", "2026-12-07T15:04:12.000Z", "2026-12-07 15:04:12 +00:00"},
                    LocalCase{"BeforeTheEpoch", "UTC0", "1969-12-31T23:59:59.500Z", "1969-12-31 23:59:59 +00:00"},
                    LocalCase{"NoTimeStaysAsItIs", "CET-1", "pending", "pending"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
