#include <gtest/gtest.h>

#include <QPalette>

#include "hexview/ReadableInk.h"

namespace {

struct PaletteCase {
    const char* name;
    QColor highlight;
    QColor shadow;
};

class CurrentRowOffset : public testing::TestWithParam<PaletteCase> {};

// The current row's offset is drawn in the highlight colour on the shadow colour.
TEST_P(CurrentRowOffset, ReadsAtLeastFourAndAHalfToOne)
{
    const PaletteCase& c = GetParam();
    EXPECT_GE(contrastRatio(readableInk(c.highlight, c.shadow), c.shadow), 4.5);
}

INSTANTIATE_TEST_SUITE_P(
    Palettes, CurrentRowOffset,
    testing::Values(PaletteCase{"DefaultLight", QPalette().color(QPalette::Highlight),
                                QPalette().color(QPalette::Shadow)},
                    PaletteCase{"FusionLight", QColor(0x30, 0x8c, 0xc6), QColor(0x76, 0x76, 0x76)},
                    PaletteCase{"Dark", QColor(0x2a, 0x82, 0xda), QColor(0x14, 0x14, 0x14)},
                    PaletteCase{"DarkWithDarkHighlight", QColor(0x1d, 0x54, 0x5c), QColor(0x00, 0x00, 0x00)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadableInk, KeepsAColourThatReadsWell)
{
    EXPECT_EQ(readableInk(Qt::black, Qt::white), QColor(Qt::black));
    EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 0.01);
}

}  // namespace
