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

// The Production menu: make a job in the job editor or edit the open one,
// save the window's state as a job, open a job (locked or not), close it,
// export the log as CSV, and the production view. Leaving or editing a locked
// job with an engineer PIN asks for the PIN. While a
// locked job is open the workbench refuses every command that could change
// what is programmed, the controls of those commands are disabled (found by
// object name, so the main window needs no list of them) and the line under
// the FLASH view says so. The job open when Belcor ends is opened again at
// its next start, and closing the window with a locked job that has an
// engineer PIN takes the PIN, so that quitting is no way out of the lock.
class ProductionMenu : public QMenu {
    Q_OBJECT
public:
    ProductionMenu(Workbench& workbench, OperationHost& host, QWidget* window);
    ~ProductionMenu() override;

    void ApplyLanguage(int language);

    void NewJobClick();
    void EditJobClick();
    void SaveJobClick();
    void OpenJobClick();
    void CloseJobClick();
    void ExportLogClick();
    void ProductionViewClick();

    // The menu commands after their file dialogs.
    bool saveJob(const std::string& path, const std::optional<SerialRule>& serial, bool locked);
    // `askPin`: a locked job open now asks for its PIN before it goes.
    bool openJob(const std::string& path, bool askPin = true);
    void closeJob();
    bool exportLog(const std::string& path);
    // The job that was open when Belcor last ended, if its file is still there.
    void reopenLastJob();

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
    bool mayLeaveJob();
    void rememberJob(const std::string& path) const;
    AutoOptions windowOptions() const;

    Workbench& workbench_;
    OperationHost& host_;
    QWidget* window_;
    ProductionView* view_;
    std::optional<OpenedJob> job_;
    std::map<std::string, bool> enabledBeforeLock_;  // filled while a locked job is open
    bool closeConfirmed_ = false;  // the engineer let the window close
    QAction* newJob_;
    QAction* editJob_;
    QAction* saveJob_;
    QAction* openJob_;
    QAction* closeJob_;
    QAction* exportLog_;
    QAction* productionView_;
};
