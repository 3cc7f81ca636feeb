#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

// Runs `step` on the next dialog of type T that opens modally, then closes it
// if the step left it open.
template <typename T>
void inNextDialog(const std::function<void(T&)>& step)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            // A nested event loop would keep a merely deleted-later timer firing.
            timer->stop();
            timer->deleteLater();
            step(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        }
    });
    timer->start();
}
