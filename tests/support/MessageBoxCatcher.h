#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// Answers every message box that opens while it lives and keeps its text, so
// window tests can drive commands that end in a modal box. Questions get
// `answer` (Ok reads as No).
class MessageBoxCatcher {
public:
    explicit MessageBoxCatcher(QMessageBox::StandardButton answer = QMessageBox::Ok)
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->done(answer);
            }
        });
        timer_.start();
    }
    QStringList texts;

private:
    QTimer timer_;
};
