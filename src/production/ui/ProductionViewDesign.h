#pragma once

#include <QFont>

class GangPanel;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QVBoxLayout;
class QWidget;

// The production view's controls as laid out, before any behaviour is
// attached. Top left the last chip's mark (PASS/FAIL), its failure text, the
// counters, the throughput and the next serial number: what an operator
// watches, and all the full screen keeps beside the tiles. Top right what an
// engineer checks: the job and its lock, the target, the checksums, the log
// database and the line server (in full screen the counters, throughput and
// next serial take their place, beside the mark), with a banner above all
// while the line server fails. Below them the programmers' tiles take what
// room is left, in a grid that scrolls; the last log rows and the buttons
// stay in sight at any size down to 1024×768.
struct ProductionViewDesign {
    // `programmers` is built by the view (it needs the run) and placed here.
    void setupUi(QWidget* view, GangPanel* programmers);
    void applyLanguage(int language);
    // The mark and what an operator watches beside it, sized for the window
    // (0) or for a full screen `screenHeight` pixels high, where they must be
    // read from across a line.
    void fitWatched(int screenHeight);
    // The mark's text at the size fitWatched chose, or smaller where its
    // words would be wider than the mark ("STOPPED" beside the counters).
    void fitMarkText();

    // Across the top while the line server fails: its state and backlog.
    QLabel* serverBanner;
    QLabel* indication;
    QLabel* detail;
    // The state of the window's own programmer when no tile shows one.
    QLabel* programmerState;
    QLabel* countersText;
    QLabel* throughputText;
    QLabel* serialLabel;
    QLabel* serialText;
    // The counters, throughput and next serial: under the mark in the window,
    // beside it in full screen, where the job's details leave their room.
    QWidget* figures;
    QGridLayout* watched;

    QWidget* jobDetails;
    QLabel* jobLabel;
    QLabel* jobText;
    QLabel* lockText;
    QLabel* targetLabel;
    QSpinBox* target;
    QLabel* checksumText;
    QLabel* databaseLabel;
    QLabel* databaseText;
    QLabel* serverLabel;
    QLineEdit* server;
    QLabel* serverState;

    GangPanel* programmers;
    QTableWidget* rows;
    QPushButton* start;
    QPushButton* stop;
    QPushButton* fullScreen;
    QPushButton* reset;
    QVBoxLayout* layout;

    // Log rows shown at least, however many tiles the view holds.
    static constexpr int RowsAlwaysShown = 4;
    // The mark's height in the window; in full screen it takes this share of the height.
    static constexpr int MarkHeight = 84;
    static constexpr double FullScreenMarkShare = 0.3;

private:
    int markPixels_ = 0;
    QFont detailFont_, programmerStateFont_, countersFont_, throughputFont_, serialLabelFont_, serialFont_;
};
