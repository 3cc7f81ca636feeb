#pragma once

#include "buffers/BufferSet.h"
#include "core/Workbench.h"
#include "link/TUsbBulk.h"
#include "maint/HidDevice.h"

// The parts one programmer of a station owns: its buffer set over the
// station's image (read in place), its link and boot-loader device.
struct ProgrammerParts {
    explicit ProgrammerParts(const Workbench& station) : ownBuffers(station.buffers, BufferSet::Image::Shared, 0) {}
    BufferSet ownBuffers;
    TUsbBulk ownLink;
    HidDevice ownHid;
};

// The workbench of one programmer among several: its own link (aimed at that
// programmer with setTarget), buffer set and session state, the station's
// catalogue, image and settings.
struct ProgrammerWorkbench : private ProgrammerParts, public Workbench {
    explicit ProgrammerWorkbench(const Workbench& station)
        : ProgrammerParts(station), Workbench(station, ownBuffers, ownLink, ownHid)
    {
    }
};
