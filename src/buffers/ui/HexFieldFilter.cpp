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
    if (watched != field_ || event->type() != QEvent::KeyPress)
        return false;
    // Window shortcuts such as Ctrl+O still reach the window: only the key
    // presses the field itself would handle are discarded here.
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & Qt::ControlModifier) && key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z)
        return true;
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
