#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/MessageCatalogue.h"
#include "production/RunRefusal.h"

namespace {

struct RefusalCase {
    const char* name;
    bool operatorRequired;
    const char* operatorName;
    std::optional<int64_t> goodTarget;
    int64_t goodBefore;
    RunRefusal expected;
    const char* text;  // in English
};

class RunRefusalOf : public testing::TestWithParam<RefusalCase> {};

// Every front end refuses the same runs for the same reason, and a job that
// has its good chips is refused before its missing operator counts.
TEST_P(RunRefusalOf, JobAndSettings)
{
    const RefusalCase& given = GetParam();
    ProductionJob job;
    job.name = "line";
    job.operatorRequired = given.operatorRequired;
    GangRun::Settings settings;
    settings.operatorName = given.operatorName;
    settings.goodTarget = given.goodTarget;
    settings.goodBefore = given.goodBefore;
    const RunRefusal refusal = RefusalOfRun(job, settings);
    EXPECT_EQ(refusal, given.expected);
    EXPECT_EQ(RunRefusalText(refusal, job, settings, English), given.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunRefusalOf,
    testing::Values(
        RefusalCase{"NothingMissing", true, "Ann", 5, 4, RunRefusal::None, ""},
        RefusalCase{"NoTarget", false, "", std::nullopt, 99, RunRefusal::None, ""},
        RefusalCase{"OneGoodChipShort", false, "", 5, 4, RunRefusal::None, ""},
        RefusalCase{"TargetMade", false, "", 5, 5, RunRefusal::GoodTargetReached,
                    "The job already has 5 good chips, its target of 5, so Start does nothing. Raise the target or "
                    "reset the counters."},
        RefusalCase{"TargetLoweredBelowTheGoodChips", false, "", 3, 5, RunRefusal::GoodTargetReached,
                    "The job already has 5 good chips, its target of 3, so Start does nothing. Raise the target or "
                    "reset the counters."},
        RefusalCase{"OperatorMissing", true, "", 5, 4, RunRefusal::OperatorRequired,
                    "Job line requires the operator's name or badge."},
        RefusalCase{"TargetMadeAndOperatorMissing", true, "", 5, 5, RunRefusal::GoodTargetReached,
                    "The job already has 5 good chips, its target of 5, so Start does nothing. Raise the target or "
                    "reset the counters."}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

}  // namespace
