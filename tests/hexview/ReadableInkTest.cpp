#include <gtest/gtest.h>

#include <QPalette>

#include "hexview/ReadableInk.h"

namespace {

struct PaletteCase {
    const char* name;
    QColor highlight;
    QColor button;
};

class CurrentRowOffset : public testing::TestWithParam<PaletteCase> {};

// The current-row offset is drawn in the highlight colour on the button face.
TEST_P(CurrentRowOffset, ReadsAtLeastFourAndAHalfToOne)
{
    const PaletteCase& c = GetParam();
    EXPECT_GE(contrastRatio(readableInk(c.highlight, c.button), c.button), 4.5);
}

INSTANTIATE_TEST_SUITE_P(
    Palettes, CurrentRowOffset,
    testing::Values(PaletteCase{"DefaultLight", QPalette().color(QPalette::Highlight),
                                QPalette().color(QPalette::Button)},
                    PaletteCase{"FusionLight", QColor(0x30, 0x8c, 0xc6), QColor(0xef, 0xef, 0xef)},
                    PaletteCase{"Dark", QColor(0x2a, 0x82, 0xda), QColor(0x35, 0x35, 0x35)},
                    PaletteCase{"DarkWithDarkHighlight", QColor(0x1d, 0x54, 0x5c), QColor(0x2d, 0x2d, 0x2d)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadableInk, KeepsAColourThatReadsWell)
{
    EXPECT_EQ(readableInk(Qt::black, Qt::white), QColor(Qt::black));
    EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 0.01);
}

}  // namespace
