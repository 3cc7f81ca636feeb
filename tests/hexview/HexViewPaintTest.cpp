#include "hexview/HexView.h"

#include "KeyStrokes.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <vector>

namespace {

QImage render(HexView& view)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    view.render(&image);
    return image;
}

int distinctColours(const QImage& image)
{
    QList<QRgb> seen;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            if (!seen.contains(image.pixel(x, y)) && seen.size() < 8)
                seen.append(image.pixel(x, y));
    return static_cast<int>(seen.size());
}

bool containsColour(const QImage& image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour)
                return true;
    return false;
}

struct PaintCase {
    const char* name;
    uint32_t count;
    int group;
    bool ruler;
    const char* keys;
};

class HexViewPainting : public testing::TestWithParam<PaintCase> {};

// Paints every state the caret, selection and marks can be in near the edges
// of the data; ASan and UBSan check that no row reads outside it.
TEST_P(HexViewPainting, PaintsWithoutReadingOutsideTheData)
{
    const PaintCase& test = GetParam();
    std::vector<uint8_t> bytes(test.count);
    for (uint32_t i = 0; i < test.count; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    HexView view;
    view.resize(640, 240);
    view.show();
    view.setBytesPerGroup(test.group);
    view.setRulerVisible(test.ruler);
    view.setOffsetPrefix(QStringLiteral("0x"));
    view.load(bytes.data(), test.count);
    sendKeys(view, QString::fromLatin1(test.keys));
    const QImage image = render(view);
    EXPECT_GT(distinctColours(image), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexViewPainting,
    testing::Values(PaintCase{"Empty", 0, 1, true, ""},
                    PaintCase{"EmptyInsertMode", 0, 2, false, "<Ins>"},
                    PaintCase{"OneByte", 1, 1, true, "<C-End>"},
                    PaintCase{"OneByteCaretPastTheEnd", 1, 2, false, "AB"},
                    PaintCase{"OneByteInsertAtEnd", 1, 1, true, "<Ins><C-End>"},
                    PaintCase{"FullRowSelectedToTheEnd", 16, 1, true, "<S-C-End>"},
                    PaintCase{"ShortLastRowEdited", 1000, 2, false, "<C-End>12<Left><S-Up><S-Up>"},
                    PaintCase{"EditedThenScrolledAway", 5000, 1, true, "ABCD<Tab>xyz<C-End><PgUp>"}),
    [](const testing::TestParamInfo<PaintCase>& info) { return std::string(info.param.name); });

TEST(HexViewPainting, ShowsChangedBytesOnTheirBackgroundUntilCleared)
{
    const QRgb markBackground = qRgb(0xFF, 0xFF, 0xA8);
    std::vector<uint8_t> bytes(64, 0xFF);
    HexView view;
    view.resize(640, 240);
    view.show();
    view.load(bytes.data(), 64);
    EXPECT_FALSE(containsColour(render(view), markBackground));
    sendKeys(view, "00");
    EXPECT_TRUE(containsColour(render(view), markBackground));
    view.clearModified();
    EXPECT_FALSE(containsColour(render(view), markBackground));
}

struct OffsetInkCase {
    const char* name;
    QColor ink;         // expected exactly, unmixed
    bool belowRowOne;   // looked for only in the offsets of the rows after the caret's
};

class OffsetInk : public testing::TestWithParam<OffsetInkCase> {};

// The palette's colours are drawn as they are, also where they read poorly:
// the current row's offset in the highlight colour on a mid-grey shadow, the
// other offsets black on a dark button face.
TEST_P(OffsetInk, IsThePaletteColourItself)
{
    QPalette palette;
    palette.setColor(QPalette::Highlight, QColor(0x30, 0x8c, 0xc6));
    palette.setColor(QPalette::Shadow, QColor(0x76, 0x76, 0x76));
    palette.setColor(QPalette::Button, QColor(0x20, 0x20, 0x20));
    // No other ink is black.
    palette.setColor(QPalette::Text, QColor(0x00, 0x60, 0x00));
    palette.setColor(QPalette::ButtonText, QColor(0x00, 0x60, 0x00));
    std::vector<uint8_t> bytes(0x200, 0x11);
    HexView view;
    view.setPalette(palette);
    view.resize(640, 240);
    view.show();
    view.load(bytes.data(), 0x200);
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    view.viewport()->render(&image);
    // The offset column is the first eighth of the width; the caret's row is the first below the ruler.
    const int top = GetParam().belowRowOne ? image.height() / 3 : 0;
    EXPECT_TRUE(containsColour(image.copy(0, top, image.width() / 8, image.height() - top), GetParam().ink.rgb()));
}

INSTANTIATE_TEST_SUITE_P(Rows, OffsetInk,
                         testing::Values(OffsetInkCase{"CurrentRow", QColor(0x30, 0x8c, 0xc6), false},
                                         OffsetInkCase{"OtherRows", QColor(Qt::black), true}),
                         [](const auto& info) { return std::string(info.param.name); });

// 64 MiB is 4 Mi rows: the scroll bar counts rows directly and must reach the last one.
TEST(HexViewScrolling, ReachesTheLastRowOfA64MiBView)
{
    const uint32_t size = 64u << 20;
    std::vector<uint8_t> bytes(size, 0xFF);
    bytes[size - 1] = 0x12;
    HexView view;
    view.resize(640, 400);
    view.show();
    view.setOffsetPrefix(QStringLiteral("00"));
    view.load(bytes.data(), size);
    bytes.clear();
    bytes.shrink_to_fit();
    const int rows = static_cast<int>(size / 16);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), rows - view.visibleRowCount());
    sendKeys(view, "<C-End>");
    EXPECT_EQ(view.cursorPosition(), size - 1);
    EXPECT_EQ(view.firstVisibleRow(), rows - view.visibleRowCount());
    EXPECT_EQ(view.offsetText(size - 16), QStringLiteral("0003FFFFF0"));
    sendKeys(view, "A");
    EXPECT_EQ(view.byteAt(size - 1), 0xA2);
    render(view);
}

TEST(HexViewScrolling, WheelScrollsRows)
{
    std::vector<uint8_t> bytes(16 * 500);
    HexView view;
    view.resize(640, 300);
    view.show();
    view.load(bytes.data(), static_cast<uint32_t>(bytes.size()));
    QWheelEvent down(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &down);
    EXPECT_GT(view.firstVisibleRow(), 0);
    EXPECT_EQ(view.cursorPosition(), 0u);
}

} // namespace
