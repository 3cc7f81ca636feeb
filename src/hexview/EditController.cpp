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
        const int value = QStringView(text).toInt(nullptr, 16);
        const bool isHexDigit = character.isDigit() || (character.toUpper() >= u'A' && character.toUpper() <= u'F');
        if (!isHexDigit || character.unicode() > 0x7F)
            return false;
        view_.typeHexDigit(value);
        return true;
    }
    // The text field shows bytes as Latin-1 characters, so only those can be typed.
    if (character.unicode() > 0xFF || !character.isPrint())
        return false;
    view_.typeCharacter(static_cast<uint8_t>(character.unicode()));
    return true;
}
