#include <gtest/gtest.h>

#include <string>

#include "core/ValidUtf8.h"

namespace {

struct Utf8Case {
    const char* name;
    std::string text;
    std::string valid;
};

class ValidUtf8Cases : public testing::TestWithParam<Utf8Case> {};

TEST_P(ValidUtf8Cases, KeepsWellFormedTextAndReadsOtherBytesAsLatin1)
{
    EXPECT_EQ(ValidUtf8(GetParam().text), GetParam().valid);
    EXPECT_EQ(ValidUtf8(GetParam().valid), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    ValidUtf8, ValidUtf8Cases,
    testing::Values(Utf8Case{"WellFormed", "W25Q \xE8\x8A\xAF\xE7\x89\x87 \xF0\x9F\x94\xA7", "W25Q 芯片 🔧"},
                    Utf8Case{"Latin1Name", "caf\xE9", "café"},
                    Utf8Case{"SequenceCutAtTheEnd", "ab\xE8\x8A", "abè\xC2\x8A"},
                    Utf8Case{"OverlongSlash", "\xC0\xAF", "À¯"},
                    Utf8Case{"Surrogate", "\xED\xA0\x80", "í\xC2\xA0\xC2\x80"},
                    Utf8Case{"PastTheLastCodePoint", "\xF4\x90\x80\x80", "ô\xC2\x90\xC2\x80\xC2\x80"}),
    [](const testing::TestParamInfo<Utf8Case>& info) { return std::string(info.param.name); });

}  // namespace
