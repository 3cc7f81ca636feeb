#include "hexview/NavigationController.h"

#include "hexview/HexLayout.h"
#include "hexview/HexView.h"

#include <QKeyEvent>
#include <QScrollBar>

namespace {
constexpr int64_t RowBytes = HexLayout::BytesPerRow;
}

bool NavigationController::handleKey(QKeyEvent* event)
{
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const int64_t position = view_.cursorPosition();
    const int64_t rowStart = position - position % RowBytes;
    int64_t target;
    switch (event->key()) {
    case Qt::Key_Left: target = position - 1; break;
    case Qt::Key_Right: target = position + 1; break;
    case Qt::Key_Up: target = position - RowBytes; break;
    case Qt::Key_Down: target = position + RowBytes; break;
    case Qt::Key_Home: target = control ? 0 : rowStart; break;
    case Qt::Key_End: target = control ? int64_t(view_.byteCount()) : rowStart + RowBytes - 1; break;
    case Qt::Key_PageUp: scrollAndMove(-view_.visibleRowCount(), extend); return true;
    case Qt::Key_PageDown: scrollAndMove(view_.visibleRowCount(), extend); return true;
    default: return false;
    }
    // Up from the first row and Down from the last one stay put rather than
    // jump to the other end of the row.
    if (target < 0 || (event->key() == Qt::Key_Down && target > int64_t(view_.byteCount())))
        return true;
    view_.setCursorPosition(static_cast<uint32_t>(target), extend);
    return true;
}

void NavigationController::scrollAndMove(int rows, bool extend)
{
    QScrollBar* bar = view_.verticalScrollBar();
    bar->setValue(bar->value() + rows);
    const int64_t target = int64_t(view_.cursorPosition()) + int64_t(rows) * RowBytes;
    view_.setCursorPosition(static_cast<uint32_t>(std::clamp<int64_t>(target, 0, view_.byteCount())), extend);
}
