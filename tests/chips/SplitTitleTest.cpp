#include <gtest/gtest.h>

#include "chips/SplitTitle.h"

namespace {

struct SplitCase {
    const char* name;
    std::string title;
    std::vector<std::string> items;
};

class SplitTitleTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTitleTest, Splits)
{
    EXPECT_EQ(SplitTitle(GetParam().title), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, SplitTitleTest,
    ::testing::Values(
        SplitCase{"Plain", "SPI_FLASH,Winbond,W25Q64JV", {"SPI_FLASH", "Winbond", "W25Q64JV"}},
        SplitCase{"Empty", "", {}},
        SplitCase{"OnlyBlanks", " \t ", {}},
        SplitCase{"BlanksAroundItems", "  A , B ,C  ", {"A", "B", "C"}},
        SplitCase{"BlankEndsItem", "A B,C", {"A", "B", "C"}},
        SplitCase{"TrailingComma", "A,B,", {"A", "B", ""}},
        SplitCase{"TrailingCommaThenBlank", "A,B, ", {"A", "B"}},
        SplitCase{"EmptyMiddle", "A,,C", {"A", "", "C"}},
        SplitCase{"LeadingComma", ",B", {"", "B"}},
        SplitCase{"Quoted", "\"A B\",C", {"A B", "C"}},
        SplitCase{"QuotedComma", "\"A,B\",C", {"A,B", "C"}},
        SplitCase{"DoubledQuote", "\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
        SplitCase{"UnterminatedQuote", "A,\"B,C", {"A", "B,C"}},
        SplitCase{"TextAfterClosingQuote", "\"A\"B,C", {"A", "B", "C"}},
        SplitCase{"EndsAtNul", std::string("A,B\0,C", 6), {"A", "B"}},
        // 0x81 0x2C would read as a comma if the lead byte's pair were split;
        // 0xB2 0xE2 is a GBK character.
        SplitCase{"DoubleByteWhole", "X,\x81\x2C\xB2\xE2,Y", {"X", "\x81\x2C\xB2\xE2", "Y"}},
        SplitCase{"LeadByteAtEnd", "X,\x81", {"X", "\x81"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
