#pragma once

#include <QObject>
#include <QString>

#include "core/OwnSettings.h"

struct MainWindowDesign;
struct Workbench;
class OperationHost;
class QAction;
class QMainWindow;
class QMenu;

// The File menu's work beyond the dialogs' texts: Save as suggests the
// chip's name and the date; the last eight files opened or saved are offered
// again (remembered in Belcor's own settings); a file dropped on the window
// opens as Open opens it (same questions).
class FileCommands : public QObject {
    Q_OBJECT
public:
    static constexpr int RecentCount = 8;

    FileCommands(QMainWindow& window, MainWindowDesign& ui, Workbench& workbench, OperationHost& host);

    void ApplyLanguage(int language);

    void open();
    void save();
    void saveAs();
    // Opens `path` into the buffer of the current tab, as Open does.
    void openPath(const QString& path);

    QAction* saveAsAction() const { return saveAs_; }
    QMenu* recentMenu() const { return recent_; }
    // A suggested name for Save as: "<chip>_<yyyyMMdd>.bin".
    QString suggestedName() const;

signals:
    // The FLASH buffer was saved to a file, which it now came from.
    void flashSaved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void saveTo(const QString& path);
    void remember(const QString& path);
    void rebuildRecentMenu();

    QMainWindow& window_;
    MainWindowDesign& ui_;
    Workbench& workbench_;
    OperationHost& host_;
    OwnSettings remembered_;
    QAction* saveAs_;
    QMenu* recent_;
};
