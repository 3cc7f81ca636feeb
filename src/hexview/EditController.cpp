#include "hexview/EditController.h"

#include "hexview/HexView.h"

#include <QKeyEvent>

bool EditController::handleKey(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Delete: view_.removeForward(); return true;
    case Qt::Key_Backspace: view_.removeBackward(); return true;
    default: break;
    }
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    if (text.size() != 1)
        return false;
    const QChar character = text.front();
    if (view_.activeField() == HexView::Field::Hex) {
        const char16_t digit = character.toUpper().unicode();
        if (digit >= u'0' && digit <= u'9')
            view_.typeHexDigit(digit - u'0');
        else if (digit >= u'A' && digit <= u'F')
            view_.typeHexDigit(digit - u'A' + 10);
        else
            return false;
        return true;
    }
    // The text field shows bytes as Latin-1 characters, so only those can be typed.
    if (character.unicode() > 0xFF || !character.isPrint())
        return false;
    view_.typeCharacter(static_cast<uint8_t>(character.unicode()));
    return true;
}
