#include "hexview/HexView.h"

#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

class HexViewMouse : public testing::Test {
protected:
    void SetUp() override
    {
        view.resize(900, 300);
        view.show();
        view.load(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }

    // The middle of a row's height; rows start right under the viewport's top.
    QPointF rowPoint(qreal x, int row) const
    {
        const qreal height = std::ceil(QFontMetricsF(view.font()).height());
        return QPointF(x, (row + 0.5) * height);
    }

    void mouse(QEvent::Type type, QPointF point, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {})
    {
        QMouseEvent event(type, point, view.viewport()->mapToGlobal(point), Qt::LeftButton, buttons, modifiers);
        QApplication::sendEvent(view.viewport(), &event);
    }

    HexView view;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(100, 0x33);
    // Far right of the rows lies in the text field (its last column or past it).
    const qreal textX = 880;
};

TEST_F(HexViewMouse, ClickInTheTextFieldMovesTheCaretThere)
{
    mouse(QEvent::MouseButtonPress, rowPoint(textX, 2), Qt::LeftButton);
    EXPECT_EQ(view.activeField(), HexView::Field::Text);
    EXPECT_EQ(view.cursorPosition(), 2u * 16 + 15);
    EXPECT_FALSE(view.hasSelection());
}

TEST_F(HexViewMouse, ClickInTheOffsetColumnGoesToTheRowStartAndKeepsTheField)
{
    mouse(QEvent::MouseButtonPress, rowPoint(textX, 0), Qt::LeftButton);
    mouse(QEvent::MouseButtonPress, rowPoint(2, 3), Qt::LeftButton);
    EXPECT_EQ(view.cursorPosition(), 3u * 16);
    EXPECT_EQ(view.activeField(), HexView::Field::Text);
}

TEST_F(HexViewMouse, DragSelectsWholeBytesEitherWay)
{
    mouse(QEvent::MouseButtonPress, rowPoint(textX, 1), Qt::LeftButton);
    mouse(QEvent::MouseMove, rowPoint(textX, 3), Qt::LeftButton);
    EXPECT_EQ(view.selectionStart(), 31u);
    EXPECT_EQ(view.selectionEnd(), 64u);
    mouse(QEvent::MouseMove, rowPoint(textX, 0), Qt::LeftButton);
    EXPECT_EQ(view.selectionStart(), 15u);
    EXPECT_EQ(view.selectionEnd(), 32u);
}

TEST_F(HexViewMouse, ClicksBelowTheLastByteStayInside)
{
    mouse(QEvent::MouseButtonPress, rowPoint(textX, 12), Qt::LeftButton);
    EXPECT_EQ(view.cursorPosition(), 99u);
    mouse(QEvent::MouseMove, rowPoint(textX, 15), Qt::LeftButton);
    EXPECT_EQ(view.selectionEnd(), 100u);
    mouse(QEvent::MouseButtonPress, rowPoint(textX, 1), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(view.selectionStart(), 31u);
    EXPECT_EQ(view.selectionEnd(), 99u);
}

} // namespace
