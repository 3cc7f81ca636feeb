#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/MessageCatalogue.h"
#include "production/GangRun.h"
#include "production/LogRecord.h"
#include "production/ProductionJob.h"
#include "production/ui/ProductionViewDesign.h"

class GangPanel;
class OperationHost;
class ProductionLog;
class QMessageBox;
class QTimer;
struct TileState;
struct Workbench;

// A job as the window has it open: its contents, file and identity.
struct OpenedJob {
    ProductionJob job;
    std::string path;
    std::string sha256;
};

// The production view: a window of its own, readable from a distance, with
// the last chip's result in large green or red letters and its failure text,
// the job and its lock, the counters and throughput, the next serial number,
// the checksums, the last 20 log rows, the line server's address and state,
// and Start/Stop for the production run (the batch loop with a record and a
// serial number per chip). Every run is a gang: of the window's own programmer
// alone, or, with programmers added as tiles, of them all, each tile also on
// its own. After Stop the controls rest until the chips in the sockets are done.
// F11 (or its button) turns it into the operator's full screen: the mark grows
// with the screen, beside the counters, the next serial number and the tiles;
// leaving it takes the job's engineer PIN, when it has one;
// the view remembers its placement, the line server's address and a target
// changed from the job's in Belcor's own settings file, and never grows past
// the screen's available area.
class ProductionView : public QWidget {
    Q_OBJECT
public:
    ProductionView(Workbench& workbench, OperationHost& host, QWidget* window);
    ~ProductionView() override;

    // The open job, or none.
    void setJob(const OpenedJob* job);
    void ApplyLanguage(int language);
    bool running() const;
    GangPanel* programmers() const { return ui_.programmers; }

    void StartClick();
    void StopClick();
    void ResetCountersClick();
    void FullScreenClick();
    bool operatorMode() const { return operatorMode_; }

    // The station's log database file (the default file unless a test sets another).
    void setLogPath(const std::string& path) { logPath_ = path; }
    const std::string& logPath() const { return logPath_; }

    static constexpr int ShownRows = 20;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool openLog();
    std::unique_ptr<GangRun> makeGang(const std::vector<std::string>& programmers);
    void refresh();
    void showRecord(const LogRecord& record);
    void showIndication(Msg text, const QString& colour, const QString& detail);
    void refreshServerState();
    int64_t runTarget() const;
    void offerMoreChips(const GangRun::Settings& settings);
    void targetChanged();
    void showTargetReached(int64_t goodChips);
    void showResult(const LogRecord& record);
    void gangRunningChanged(bool running);
    void setOperatorMode(bool on);
    void fitMark();
    void rememberPlacement() const;
    // Bounds the window to the screen's available area, outside full screen.
    void keepOnScreen();
    void rememberServer() const;
    // The key under which a target changed from the job's is remembered.
    std::string targetKey() const;
    void showProgrammerState(const TileState& state);

    Workbench& workbench_;
    OperationHost& host_;
    QWidget* window_;
    const OpenedJob* job_ = nullptr;
    std::string logPath_;
    std::unique_ptr<ProductionLog> log_;
    bool closeWindowAfterRun_ = false;

    ProductionViewDesign ui_;
    bool operatorMode_ = false;
    bool placed_ = false;
    bool applyingJob_ = false;
    QPointer<QMessageBox> targetReached_;
    QTimer* serverTimer_;
};
