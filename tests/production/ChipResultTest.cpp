#include <gtest/gtest.h>

#include "production/ChipResult.h"

namespace {

struct WordCase {
    const char* name;
    const char* word;
    ChipResult result;
    bool stored;  // a word this build writes, so it must come back the same
};

class ChipResultWords : public testing::TestWithParam<WordCase> {};

TEST_P(ChipResultWords, ReadsStoredWordsAndTakesOthersForUnknown)
{
    const WordCase& c = GetParam();
    EXPECT_EQ(ChipResultOf(c.word), c.result);
    if (c.stored) {
        EXPECT_STREQ(ChipResultWord(c.result), c.word);
    }
}

std::string nameOfCase(const testing::TestParamInfo<WordCase>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Words, ChipResultWords,
    testing::Values(WordCase{"Pass", "pass", ChipResult::Pass, true},
                    WordCase{"Fail", "fail", ChipResult::Fail, true},
                    WordCase{"Interrupted", "interrupted", ChipResult::Interrupted, true},
                    WordCase{"OtherCase", "PASS", ChipResult::Interrupted, false},
                    WordCase{"TrailingSpace", "pass ", ChipResult::Interrupted, false},
                    WordCase{"Translated", "通过", ChipResult::Interrupted, false},
                    WordCase{"Empty", "", ChipResult::Interrupted, false}),
    nameOfCase);

}  // namespace
