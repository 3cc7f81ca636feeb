#include <gtest/gtest.h>

#include <cstdio>

#include "buffers/HexText.h"
#include "buffers/RangeSpan.h"
#include "support/CaseName.h"

namespace {

struct ConversionCase {
    std::string text;
    bool ok;
    int32_t value;
};

class HexConversionTable : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(HexConversionTable, ConvertsOrNamesTheText)
{
    const ConversionCase& c = GetParam();
    const HexConversion conversion = ConvertHexText(c.text);
    EXPECT_EQ(conversion.ok(), c.ok);
    if (c.ok)
        EXPECT_EQ(conversion.value, c.value);
    else
        EXPECT_EQ(conversion.error, "'0x" + c.text + "' is not a valid integer value");
}

INSTANTIATE_TEST_SUITE_P(Fields, HexConversionTable,
                         ::testing::Values(ConversionCase{"AB", true, 0xAB}, ConversionCase{"ab", true, 0xAB},
                                           ConversionCase{"00000", true, 0}, ConversionCase{"7FFFFFFF", true, INT32_MAX},
                                           ConversionCase{"80000000", true, INT32_MIN},
                                           ConversionCase{"FFFFFFFF", true, -1}, ConversionCase{"", false, 0},
                                           ConversionCase{"123456789", false, 0}, ConversionCase{"12 3", false, 0},
                                           ConversionCase{"1G", false, 0}, ConversionCase{"-1", false, 0}),
                         [](const auto& info) { return "Text_" + CaseName(info.param.text); });

TEST(HexFieldEdit, EmptyTextKeepsTheAddress)
{
    int32_t address = 0x150;
    EXPECT_EQ(UpdateFromHexText("", address), "");
    EXPECT_EQ(address, 0x150);
    EXPECT_EQ(UpdateFromHexText("xyz", address), "'0xxyz' is not a valid integer value");
    EXPECT_EQ(address, 0x150);
    EXPECT_EQ(UpdateFromHexText("2FF", address), "");
    EXPECT_EQ(address, 0x2FF);
}

TEST(HexFieldKeys, AcceptsHexDigitsAndBackspaceOnly)
{
    for (char32_t key : {U'0', U'9', U'A', U'F', U'a', U'f', char32_t{8}})
        EXPECT_TRUE(IsHexFieldKey(key)) << static_cast<int>(key);
    for (char32_t key : {U'g', U'G', U' ', U'x', U'-', char32_t{0x16}, char32_t{0x03}, U'\u0660', U'\uFF21'})
        EXPECT_FALSE(IsHexFieldKey(key)) << static_cast<int>(key);
}

TEST(HexFieldText, UpperCaseWithoutLeadingZeros)
{
    EXPECT_EQ(HexFieldText(0xFFFF), "FFFF");
    EXPECT_EQ(HexFieldText(0x3FFFF), "3FFFF");
    EXPECT_EQ(HexFieldText(0), "0");
    EXPECT_EQ(HexFieldText(0xFFFFFFFF), "FFFFFFFF");
}

struct SpanCase {
    int32_t start, end;
    uint32_t page;
    int64_t first, limit;
    bool insideChipOf64KiB;
};

class RangeSpanTable : public ::testing::TestWithParam<SpanCase> {};

TEST_P(RangeSpanTable, RoundsToPages)
{
    const SpanCase& c = GetParam();
    const RangeSpan span = ComputeRangeSpan(c.start, c.end, c.page);
    EXPECT_EQ(span.first, c.first);
    EXPECT_EQ(span.limit, c.limit);
    EXPECT_EQ(SpanInsideChip(span, 0x10000), c.insideChipOf64KiB);
}

INSTANTIATE_TEST_SUITE_P(
    Spans, RangeSpanTable,
    ::testing::Values(SpanCase{0, 0xFFFF, 256, 0, 0x10000, true},       // the whole chip
                      SpanCase{0x150, 0x2FF, 256, 0x100, 0x300, true},  // both ends rounded
                      SpanCase{0, 0x100, 256, 0, 0x100, true},          // a page-multiple end is outside
                      SpanCase{0x10, 0x10, 0, 0x10, 0x10, true},        // no page size: byte pages
                      SpanCase{0x300, 0x100, 256, 0x300, 0x100, false}, // start above the end
                      SpanCase{0, 0x10000, 256, 0, 0x10000, true},
                      SpanCase{0, 0x10001, 256, 0, 0x10100, false},     // past the chip
                      SpanCase{-1, 0x100, 256, -256, 0x100, false},     // 8 digits from 80000000 up
                      SpanCase{0, INT32_MAX, 256, 0, int64_t{INT32_MAX} + 1, false}),
    [](const auto& info) {
        char name[48];
        std::snprintf(name, sizeof name, "From%XTo%XPage%u", static_cast<uint32_t>(info.param.start),
                      static_cast<uint32_t>(info.param.end), info.param.page);
        return std::string(name);
    });

TEST(RangeSpanBuffer, ChipsLargerThanTheBufferStopAtItsEnd)
{
    EXPECT_TRUE(SpanInsideChip({0, 0x4000000}, 0x8000000));
    EXPECT_FALSE(SpanInsideChip({0, 0x4000100}, 0x8000000));
}

}  // namespace
