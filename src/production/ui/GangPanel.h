#pragma once

#include <QGroupBox>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/TUsbBulk.h"
#include "production/GangRun.h"
#include "production/TileState.h"

class OperationHost;
class ProgrammerTile;
class QGridLayout;
class QLabel;
class QPushButton;
class QScrollArea;
class QTimer;
struct Workbench;

// The programmers of a station, one tile each, run as a gang: started and
// stopped together or one by one, each on its own thread. Programmers join
// when the user adds them, also while the others run. Without tiles the
// window's own programmer runs alone, as a gang of one without a tile. While
// any runs the station's workbench is busy, so that the window leaves the
// shared chip and image alone. Which programmers are attached is looked at
// once a second, off the window's thread.
class GangPanel : public QGroupBox {
    Q_OBJECT
public:
    // Builds a gang over `programmers` for the open job; nothing, having told
    // the user why, when none can run.
    using GangMaker = std::function<std::unique_ptr<GangRun>(const std::vector<std::string>& programmers)>;

    GangPanel(Workbench& workbench, OperationHost& host, GangMaker makeGang, QWidget* parent);
    ~GangPanel() override;

    bool empty() const { return tiles_.empty(); }
    // The gang of the current or last run; none before the first.
    GangRun* gang() const { return gang_.get(); }
    bool running() const { return active_; }
    // Asked to stop; the programmers finish the chips in their sockets.
    bool stopping() const { return stopping_; }
    std::vector<ProgrammerTile*> tiles() const;
    void ApplyLanguage(int language);
    // The operator's full screen leaves adding programmers to the window,
    // so that two rows of four tiles fit a 1024×768 screen.
    void setAddingShown(bool shown);

    // Offers every attached programmer that no tile shows yet and no other
    // program holds, each with a check box; the ticked ones get tiles.
    void AddProgrammersClick();
    void addProgrammer(const std::string& programmer);
    void startAll();
    // The window's own programmer (its serial number; empty: the first one
    // found) alone, while no tile is shown.
    void startAlone(const std::string& programmer);
    void stopAll();
    // Follows the seats and which programmers are on the bus: called by the
    // panel's timers, and by tests.
    void refreshTiles();
    void lookForProgrammers();

signals:
    // A chip's committed record, on the window's thread at the next refresh.
    void recorded(const LogRecord& record);
    // The first programmer has started, or the last one has stopped.
    void runningChanged(bool running);
    // A tile came or went.
    void tilesChanged();
    // The run ended with a programmer that stopped on its own for this reason
    // (the first one's, when several did).
    void stoppedOnItsOwn(const QString& reason);
    // The state of the window's own programmer run alone, in the tiles' words.
    void aloneStateShown(const TileState& state);

private:
    struct Entry {
        ProgrammerTile* tile;
        std::optional<size_t> seat;  // in the current gang
    };

    bool ensureGang();
    // Takes over a gang just made: its records reach the tiles and the view.
    void adopt(std::unique_ptr<GangRun> gang);
    void showArrivedRecords();
    void setActive(bool active);
    // The programmer run alone shows its state and progress in the window.
    void showAlone(const GangRun::SeatView& seat);
    void attachedFound(const std::vector<TUsbBulk::Port>& ports);
    void startTile(ProgrammerTile* tile);
    void stopTile(ProgrammerTile* tile);
    void removeTile(ProgrammerTile* tile);
    Entry* entryOf(const ProgrammerTile* tile);
    void placeTiles();

    Workbench& workbench_;
    OperationHost& host_;
    GangMaker makeGang_;
    std::unique_ptr<GangRun> gang_;
    std::vector<Entry> tiles_;
    bool active_ = false;
    bool alone_ = false;
    bool stopping_ = false;
    uint32_t aloneMaximum_ = 0;
    uint32_t aloneTickMs_ = 0;
    std::set<std::string> attached_;
    // The seats' threads and the bus look hand their findings over under a
    // lock of their own; the window takes them at its next refresh.
    std::mutex arrivedMutex_;
    std::vector<LogRecord> arrived_;
    std::thread look_;
    std::mutex lookMutex_;
    bool looking_ = false;
    std::vector<TUsbBulk::Port> looked_;
    QPushButton* add_;
    QLabel* hint_;
    QGridLayout* grid_;
    QScrollArea* scroll_;
    QTimer* timer_;
    QTimer* lookTimer_;
};
