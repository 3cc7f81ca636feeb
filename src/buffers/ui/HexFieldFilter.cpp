#include "buffers/ui/HexFieldFilter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QValidator>

#include "buffers/HexText.h"

namespace {

// The field takes a changed text only after its validator has seen it, so a
// paste arrives in upper case with a single change: the field's change handler
// sees it once.
class UpperCase : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

}  // namespace

void HexFieldFilter::install(QLineEdit* field)
{
    new HexFieldFilter(field);
}

HexFieldFilter::HexFieldFilter(QLineEdit* field) : QObject(field), field_(field)
{
    field->installEventFilter(this);
    field->setValidator(new UpperCase(this));
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
