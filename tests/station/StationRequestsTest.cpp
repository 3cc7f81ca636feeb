#include <gtest/gtest.h>

#include "station/StationRequests.h"
#include "support/CaseName.h"

namespace {

struct RunCase {
    const char* name;
    const char* body;
    bool accepted;
};

class RunBody : public testing::TestWithParam<RunCase> {};

TEST_P(RunBody, IsTakenOnlyWhenEveryFieldIsRight)
{
    RunRequest request;
    EXPECT_EQ(!ParseRunRequest(GetParam().body, request).has_value(), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    StationRequests, RunBody,
    testing::Values(RunCase{"Empty", "", true}, RunCase{"EmptyObject", "{}", true},
                    RunCase{"Everything", R"({"count": 5, "programmers": ["A", "B"], "operator": "李雷"})", true},
                    RunCase{"All", R"({"programmers": "all"})", true},
                    RunCase{"NullCount", R"({"count": null})", true},
                    RunCase{"ZeroCount", R"({"count": 0})", false},
                    RunCase{"FractionCount", R"({"count": 1.5})", false},
                    RunCase{"HugeCount", R"({"count": 18446744073709551615})", false},
                    RunCase{"TextCount", R"({"count": "3"})", false},
                    RunCase{"SameProgrammerTwice", R"({"programmers": ["A", "A"]})", false},
                    RunCase{"NoProgrammers", R"({"programmers": []})", false},
                    RunCase{"ProgrammerNumber", R"({"programmers": [1]})", false},
                    RunCase{"OperatorWithNewline", R"({"operator": "a\nb"})", false},
                    RunCase{"UnknownField", R"({"cout": 3})", false}, RunCase{"Array", "[]", false},
                    RunCase{"Truncated", R"({"count": )", false}),
    [](const testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

TEST(StationRequests, OperatorNamesCountCharactersNotBytes)
{
    RunRequest request;
    const std::string hundredChinese = [] {
        std::string text;
        for (int i = 0; i < 100; ++i)
            text += "王";
        return text;
    }();
    EXPECT_FALSE(ParseRunRequest(R"({"operator": ")" + hundredChinese + "\"}", request));
    EXPECT_TRUE(ParseRunRequest(R"({"operator": ")" + hundredChinese + "王\"}", request));
}

TEST(StationRequests, RecordsQueryBounds)
{
    RecordsQuery query;
    EXPECT_FALSE(ParseRecordsQuery(std::string("12"), std::string("1000"), query));
    EXPECT_EQ(query.afterId, 12);
    EXPECT_EQ(query.limit, 1000);
    for (const char* limit : {"0", "1001", "-1", "1e3", " 5", ""})
        EXPECT_TRUE(ParseRecordsQuery(std::nullopt, std::string(limit), query)) << limit;
    EXPECT_TRUE(ParseRecordsQuery(std::string("-3"), std::nullopt, query));
}

struct LanguageCase {
    const char* header;
    int language;
};

class AcceptLanguage : public testing::TestWithParam<LanguageCase> {};

TEST_P(AcceptLanguage, ChoosesByWeightAmongTheThree)
{
    EXPECT_EQ(LanguageOfAcceptLanguage(GetParam().header), GetParam().language);
}

INSTANTIATE_TEST_SUITE_P(StationRequests, AcceptLanguage,
                         testing::Values(LanguageCase{"", English}, LanguageCase{"zh-CN,zh;q=0.9", SimplifiedChinese},
                                         LanguageCase{"zh-TW", TraditionalChinese},
                                         LanguageCase{"zh-Hant-HK", TraditionalChinese},
                                         LanguageCase{"de-DE,zh;q=0.5,en;q=0.4", SimplifiedChinese},
                                         LanguageCase{"en;q=0.2, zh-tw;q=0.8", TraditionalChinese},
                                         LanguageCase{"fr", English}),
                         [](const testing::TestParamInfo<LanguageCase>& info) { return CaseName(info.param.header); });

}  // namespace
