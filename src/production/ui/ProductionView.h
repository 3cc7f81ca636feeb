#pragma once

#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/MessageCatalogue.h"
#include "production/LogRecord.h"
#include "production/ProductionJob.h"

class GangPanel;
class GangRun;
class OperationHost;
class ProductionLog;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;
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
class ProductionView : public QWidget {
    Q_OBJECT
public:
    ProductionView(Workbench& workbench, OperationHost& host, QWidget* window);
    ~ProductionView() override;

    // The open job, or none.
    void setJob(const OpenedJob* job);
    void ApplyLanguage(int language);
    bool running() const;
    GangPanel* programmers() const { return programmers_; }

    void StartClick();
    void StopClick();
    void ResetCountersClick();

    // The station's log database file (the default file unless a test sets another).
    void setLogPath(const std::string& path) { logPath_ = path; }
    const std::string& logPath() const { return logPath_; }

    static constexpr int ShownRows = 20;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool openLog();
    std::unique_ptr<GangRun> makeGang(const std::vector<std::string>& programmers);
    void refresh();
    void showRecord(const LogRecord& record);
    void showIndication(Msg text, const QString& colour, const QString& detail);
    void refreshServerState();
    int64_t runTarget() const;
    int64_t chipsStillWanted();
    void showResult(const LogRecord& record);
    void gangRunningChanged(bool running);

    Workbench& workbench_;
    OperationHost& host_;
    QWidget* window_;
    const OpenedJob* job_ = nullptr;
    std::string logPath_;
    std::unique_ptr<ProductionLog> log_;
    bool closeWindowAfterRun_ = false;

    QLabel* indication_;
    QLabel* detail_;
    QLabel* jobLabel_;
    QLabel* jobText_;
    QLabel* lockText_;
    QLabel* countersText_;
    QLabel* throughputText_;
    QLabel* targetLabel_;
    QSpinBox* target_;
    QLabel* serialLabel_;
    QLabel* serialText_;
    QLabel* checksumText_;
    QLabel* databaseLabel_;
    QLabel* databaseText_;
    QLabel* serverLabel_;
    QLineEdit* server_;
    QLabel* serverState_;
    GangPanel* programmers_;
    QTableWidget* rows_;
    QPushButton* start_;
    QPushButton* stop_;
    QPushButton* reset_;
    QTimer* serverTimer_;
};
