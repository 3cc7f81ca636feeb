#pragma once

#include <QObject>
#include <functional>

class OperationHost;
class QAction;
class QMenu;
struct Workbench;

// Belcor's own items at the end of the Operation menu: Update, Remove
// protection, and whether Update verifies the whole span. They run the same
// core operations as belcor-cli, through the window's host.
class UpdateActions : public QObject {
    Q_OBJECT
public:
    // `afterCommand` runs once an operation is over (the window's deferred checks).
    UpdateActions(QMenu& operationMenu, Workbench& workbench, OperationHost& host, std::function<void()> afterCommand,
                  QObject* parent = nullptr);

    void ApplyLanguage(int languageIndex);

    void UpdateClick();
    void RemoveProtectionClick();

private:
    Workbench& workbench_;
    OperationHost& host_;
    std::function<void()> afterCommand_;
    QAction* update_;
    QAction* removeProtection_;
    QAction* verifyWholeSpan_;
};
