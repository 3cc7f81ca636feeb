#pragma once

#include <QObject>

class QLineEdit;

// Makes a line edit a hexadecimal field: typed characters other than 0-9, A-F,
// a-f and backspace are discarded, so are the field's own Ctrl+letter keys (the
// clipboard's among them), and the text is kept in upper case, also when it
// arrives through the context menu's Paste. Owned by the field.
class HexFieldFilter : public QObject {
    Q_OBJECT
public:
    static void install(QLineEdit* field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit HexFieldFilter(QLineEdit* field);

    QLineEdit* field_;
};
