#include "hexview/CommandController.h"

#include "hexview/HexView.h"

#include <QKeyEvent>

bool CommandController::handleKey(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Undo)) {
        view_.undo();
        return true;
    }
    if (event->matches(QKeySequence::Redo) || (event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier)) {
        view_.redo();
        return true;
    }
    if (event->matches(QKeySequence::Copy)) {
        view_.copy();
        return true;
    }
    switch (event->key()) {
    case Qt::Key_Insert:
        if (event->modifiers() != Qt::NoModifier)
            return false;
        view_.setInsertMode(!view_.isInsertMode());
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        // Ctrl+Tab belongs to the tab widget around the view.
        if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            return false;
        view_.setActiveField(view_.activeField() == HexView::Field::Hex ? HexView::Field::Text : HexView::Field::Hex);
        return true;
    default:
        return false;
    }
}
