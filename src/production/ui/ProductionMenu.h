#pragma once

#include <QMenu>
#include <QPointer>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "production/ui/ProductionView.h"

class OperationHost;
struct Workbench;

// The Production menu: save the window's state as a job, open a job (locked
// or not), close it, export the log as CSV, and the production view. While a
// locked job is open the workbench refuses every command that could change
// what is programmed, the controls of those commands are disabled (found by
// object name, so the main window needs no list of them) and the line under
// the FLASH view says so.
class ProductionMenu : public QMenu {
    Q_OBJECT
public:
    ProductionMenu(Workbench& workbench, OperationHost& host, QWidget* window);
    ~ProductionMenu() override;

    void ApplyLanguage(int language);

    void SaveJobClick();
    void OpenJobClick();
    void CloseJobClick();
    void ExportLogClick();
    void ProductionViewClick();

    // The menu commands after their file dialogs.
    bool saveJob(const std::string& path, const std::optional<SerialRule>& serial, bool locked);
    bool openJob(const std::string& path);
    void closeJob();
    bool exportLog(const std::string& path);

    ProductionView* view() const { return view_; }
    const OpenedJob* job() const { return job_ ? &*job_ : nullptr; }

    // Object names of the controls and menu items a locked job disables.
    static const std::vector<const char*>& lockedControls();

signals:
    // A job was opened or closed.
    void jobChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyLock();
    AutoOptions windowOptions() const;

    Workbench& workbench_;
    OperationHost& host_;
    QWidget* window_;
    ProductionView* view_;
    std::optional<OpenedJob> job_;
    std::map<std::string, bool> enabledBeforeLock_;  // filled while a locked job is open
    QAction* saveJob_;
    QAction* openJob_;
    QAction* closeJob_;
    QAction* exportLog_;
    QAction* productionView_;
};
