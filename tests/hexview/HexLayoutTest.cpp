#include "hexview/HexLayout.h"

#include <gtest/gtest.h>
#include "support/CaseName.h"

namespace {

struct OffsetCase {
    const char* prefix;
    uint32_t byteCount;
    uint32_t offset;
    const char* expected;
};

class HexLayoutOffset : public testing::TestWithParam<OffsetCase> {};

TEST_P(HexLayoutOffset, IsUpperCaseHexWithThePrefix)
{
    const OffsetCase& test = GetParam();
    HexLayout layout;
    layout.setOffsetPrefix(QString::fromLatin1(test.prefix));
    layout.setByteCount(test.byteCount);
    EXPECT_EQ(layout.offsetText(test.offset).toStdString(), test.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, HexLayoutOffset,
                         testing::Values(OffsetCase{"00", 0x10000, 0xFFF0, "00FFF0"},
                                         OffsetCase{"0x", 0x2000, 0x1AB0, "0x1AB0"},
                                         OffsetCase{"", 0, 0, "0000"},
                                         OffsetCase{"00", 0x100000, 0xABCD0, "000ABCD0"},
                                         OffsetCase{"00", 0x4000000, 0x3FFFFF0, "0003FFFFF0"},
                                         OffsetCase{"0x", 0xFFFFFFFF, 0xFFFFFFF0, "0xFFFFFFF0"}),
                         [](const auto& info) { return "Shows_" + CaseName(info.param.expected); });

TEST(HexLayout, HitTestFindsTheCellsItLaysOut)
{
    for (int group : {1, 2}) {
        HexLayout layout;
        layout.setCellSize(9, 17);
        layout.setBytesPerGroup(group);
        layout.setRulerVisible(true);
        layout.setOffsetPrefix(QStringLiteral("0x"));
        const int firstRow = 100;
        for (int b = 0; b < HexLayout::BytesPerRow; ++b) {
            const qreal y = layout.rowTop(3) + 5;
            const uint32_t expected = (firstRow + 3) * HexLayout::BytesPerRow + b;
            for (int nibble : {0, 1}) {
                const HexLayout::Hit hex = layout.hitTest({layout.x(layout.hexColumn(b, nibble)) + 4, y}, firstRow);
                EXPECT_EQ(hex.area, HexLayout::Area::Hex);
                EXPECT_EQ(hex.position, expected) << "group " << group << " byte " << b;
                EXPECT_EQ(hex.nibble, nibble);
            }
            const HexLayout::Hit text = layout.hitTest({layout.x(layout.textColumn(b)) + 4, y}, firstRow);
            EXPECT_EQ(text.area, HexLayout::Area::Text);
            EXPECT_EQ(text.position, expected);
        }
        // Fields do not overlap and the text field comes last.
        EXPECT_LT(layout.offsetColumnEnd(), layout.hexColumn(0, 0));
        EXPECT_LT(layout.hexColumn(15, 1), layout.textColumn(0));
        EXPECT_LT(layout.textColumn(15), layout.columnCount());
    }
}

} // namespace
