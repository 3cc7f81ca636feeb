#include "app/WindowPlacement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include "app/Settings.h"

bool RestoreWindowPlacement(QMainWindow& window, const Settings& settings)
{
    const std::optional<Settings::WindowPlacement> placement = settings.windowPlacement();
    if (!placement)
        return false;
    const QRect frame(placement->left, placement->top, placement->width, placement->height);
    if (QGuiApplication::screenAt(frame.center()) == nullptr)
        return false;
    window.resize(placement->width, placement->height);
    window.move(placement->left, placement->top);
    if (placement->maximized)
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
    return true;
}

bool StoreWindowPlacement(const QMainWindow& window, Settings& settings)
{
    // A maximised window keeps the placement it returns to.
    const QRect normal = window.isMaximized() ? window.normalGeometry() : QRect(window.pos(), window.size());
    return settings.setWindowPlacement({normal.x(), normal.y(), normal.width(), normal.height(), window.isMaximized()});
}
