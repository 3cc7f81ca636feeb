#include "KeyStrokes.h"

#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

void sendKey(QWidget& widget, int key, Qt::KeyboardModifiers modifiers, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(&widget, &release);
}

int namedKey(const QString& name)
{
    static const QHash<QString, int> keys = {
        {"Left", Qt::Key_Left}, {"Right", Qt::Key_Right}, {"Up", Qt::Key_Up},       {"Down", Qt::Key_Down},
        {"Home", Qt::Key_Home}, {"End", Qt::Key_End},     {"PgUp", Qt::Key_PageUp}, {"PgDn", Qt::Key_PageDown},
        {"Del", Qt::Key_Delete}, {"BS", Qt::Key_Backspace}, {"Tab", Qt::Key_Tab}, {"Ins", Qt::Key_Insert},
    };
    if (name.size() == 1)
        return name.front().toUpper().unicode();
    return keys.value(name, 0);
}

} // namespace

void sendKeys(QWidget& widget, const QString& strokes)
{
    for (qsizetype i = 0; i < strokes.size(); ++i) {
        if (strokes[i] != u'<') {
            const QChar character = strokes[i];
            sendKey(widget, character.toUpper().unicode(), Qt::NoModifier, QString(character));
            continue;
        }
        const qsizetype close = strokes.indexOf(u'>', i);
        QString name = strokes.mid(i + 1, close - i - 1);
        i = close;
        Qt::KeyboardModifiers modifiers;
        for (;;) {
            if (name.startsWith(QLatin1String("S-")))
                modifiers |= Qt::ShiftModifier;
            else if (name.startsWith(QLatin1String("C-")))
                modifiers |= Qt::ControlModifier;
            else
                break;
            name = name.mid(2);
        }
        const int key = namedKey(name);
        ASSERT_NE(key, 0) << "unknown key " << name.toStdString();
        const QString text = key == Qt::Key_Tab ? QStringLiteral("\t") : QString();
        sendKey(widget, key, modifiers, text);
    }
}
