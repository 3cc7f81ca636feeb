#pragma once

#include <QObject>
#include <QString>

struct MainWindowDesign;
struct Workbench;
class OperationHost;
class QAction;
class QMainWindow;
class QMenu;
class Settings;

// The File menu's work beyond the dialogs' texts: Open and Save remember the
// filter last chosen; Save as suggests the chip's name and the date; the
// last eight files opened or saved are offered again; a file dropped on the
// window opens as Open opens it (same questions); the window's title names
// the file the buffer came from or went to.
class FileCommands : public QObject {
    Q_OBJECT
public:
    static constexpr int RecentCount = 8;

    FileCommands(QMainWindow& window, MainWindowDesign& ui, Workbench& workbench, OperationHost& host,
                 Settings& settings);

    void ApplyLanguage(int language);
    // The caption the language gives the window, then the file name before it.
    void updateTitle();

    void open();
    void save();
    void saveAs();
    // Opens `path` into the buffer of the current tab, as Open does.
    void openPath(const QString& path);

    QAction* saveAsAction() const { return saveAs_; }
    QMenu* recentMenu() const { return recent_; }
    // A suggested name for Save as: "<chip>_<yyyyMMdd>.bin".
    QString suggestedName() const;

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
    Settings& settings_;
    QAction* saveAs_;
    QMenu* recent_;
    QString caption_;
    QString currentFile_;
    int language_ = 0;
};
