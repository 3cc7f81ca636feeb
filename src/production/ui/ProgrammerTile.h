#pragma once

#include <QFrame>
#include <cstdint>
#include <string>

#include "production/GangRun.h"
#include "production/TileState.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

// One programmer of the station as the production view shows it: its serial
// number, state and progress, the last chip's result in green or red with its
// failure text, the chips it passed and failed, and its own Start, Stop and
// Remove (✕). A programmer that is no longer found says so in red on a red frame.
class ProgrammerTile : public QFrame {
    Q_OBJECT
public:
    ProgrammerTile(const std::string& programmer, QWidget* parent);

    const std::string& programmer() const { return programmer_; }

    // The seat's view while a gang holds it (nothing before the first start);
    // `attached`: the programmer was found on the bus at the last look;
    // `mayStart`: the station takes a start now (not while it stops).
    void showSeat(const GangRun::SeatView* seat, bool attached, bool mayStart, int language);
    // A chip's result, counted here so that the counts outlive the gang.
    void count(bool passed, const std::string& message);
    void ApplyLanguage(int language);

    // How a state line of `tone` looks, on a tile or in the view.
    static QString toneStyle(TileState::Tone tone);

signals:
    void startClicked();
    void stopClicked();
    void removeClicked();

private:
    std::string programmer_;
    int64_t passed_ = 0;
    int64_t failed_ = 0;
    bool lastPassed_ = false;
    bool anyResult_ = false;
    QLabel* name_;
    QLabel* state_;
    QProgressBar* progress_;
    QLabel* result_;
    QLabel* message_;
    QLabel* counts_;
    QPushButton* start_;
    QPushButton* stop_;
    QToolButton* remove_;
};
