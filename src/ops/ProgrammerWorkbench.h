#pragma once

#include "core/Workbench.h"
#include "link/TUsbBulk.h"
#include "maint/HidDevice.h"

// The parts one programmer of a station owns.
struct ProgrammerParts {
    TUsbBulk ownLink;
    HidDevice ownHid;
};

// The workbench of one programmer among several: its own link (aimed at that
// programmer with setTarget) and session state, the station's catalogue,
// buffers and settings.
struct ProgrammerWorkbench : private ProgrammerParts, public Workbench {
    explicit ProgrammerWorkbench(const Workbench& station) : Workbench(station, ownLink, ownHid) {}
};
