#pragma once

#include <QMenu>

class SimulatorLibrary;
struct Workbench;

// The Simulator menu of simulation mode: lets a user without the programmer
// seat the selected chip, take it out, unplug and re-plug the programmer and
// run the automatic feeder, to rehearse operations and batch runs.
class SimulatorMenu : public QMenu {
    Q_OBJECT
public:
    SimulatorMenu(SimulatorLibrary& simulator, const Workbench& workbench, QWidget* parent = nullptr);

    void ApplyLanguage(int languageIndex);

    void SeatChipClick();
    void RemoveChipClick();
    void PluggedClick();
    void FeederClick();

private:
    // The check marks follow the simulator, which a scenario or the feeder may change.
    void refreshChecks();

    SimulatorLibrary& simulator_;
    const Workbench& workbench_;
    QAction* seatChip_;
    QAction* removeChip_;
    QAction* plugged_;
    QAction* feeder_;
};
