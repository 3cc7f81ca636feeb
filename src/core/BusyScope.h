#pragma once

#include "core/Workbench.h"

// Holds the workbench busy while an exchange with the programmer runs, so that
// a connection check or another command arriving while events are pumped (a
// reply pause waits through the host) stays off the link. It puts back what it
// found, so a scope nested inside a running operation leaves the guard held.
class BusyScope {
public:
    explicit BusyScope(Workbench& bench) : bench_(bench), wasBusy_(bench.busy) { bench_.busy = true; }
    ~BusyScope() { bench_.busy = wasBusy_; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Workbench& bench_;
    bool wasBusy_;
};
