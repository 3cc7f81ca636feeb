#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <functional>

// Answers every message box that opens while it lives and keeps its text, so
// window tests can drive commands that end in a modal box. Questions get
// `answer` (Ok reads as No), or `choose` picks a button of the box.
class MessageBoxCatcher {
public:
    explicit MessageBoxCatcher(QMessageBox::StandardButton answer = QMessageBox::Ok)
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                QAbstractButton* chosen = choose ? choose(box) : nullptr;
                if (chosen)
                    chosen->click();
                else
                    box->done(answer);
            }
        });
        timer_.start();
    }
    QStringList texts;
    std::function<QAbstractButton*(QMessageBox*)> choose;

private:
    QTimer timer_;
};
