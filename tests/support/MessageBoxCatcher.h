#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// Answers every message box that opens while it lives and keeps its text, so
// window tests can drive commands that end in a modal box.
class MessageBoxCatcher {
public:
    MessageBoxCatcher()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        timer_.start();
    }
    QStringList texts;

private:
    QTimer timer_;
};
