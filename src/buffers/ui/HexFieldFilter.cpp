#include "buffers/ui/HexFieldFilter.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "buffers/HexText.h"

void HexFieldFilter::install(QLineEdit* field)
{
    new HexFieldFilter(field);
}

HexFieldFilter::HexFieldFilter(QLineEdit* field) : QObject(field), field_(field)
{
    field->installEventFilter(this);
    connect(field, &QLineEdit::textChanged, this, &HexFieldFilter::raiseCase);
}

bool HexFieldFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != field_ || (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool controlLetter = (key->modifiers() & Qt::ControlModifier) && key->key() >= Qt::Key_A &&
                               key->key() <= Qt::Key_Z;
    if (controlLetter) {
        // Accepting the override keeps a window shortcut from taking the key;
        // the key press that follows is then discarded.
        event->accept();
        return event->type() == QEvent::KeyPress;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    for (const QChar c : key->text()) {
        if (!IsHexFieldKey(c.unicode()))
            return true;
    }
    return false;
}

void HexFieldFilter::raiseCase(const QString& text)
{
    const QString upper = text.toUpper();
    if (upper == text)
        return;
    const int cursor = field_->cursorPosition();
    field_->setText(upper);
    field_->setCursorPosition(cursor);
}
