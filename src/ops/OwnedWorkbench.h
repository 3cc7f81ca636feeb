#pragma once

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "core/Workbench.h"
#include "link/TUsbBulk.h"
#include "maint/HidDevice.h"

// The parts a workbench refers to, kept together.
struct WorkbenchParts {
    ChipCatalogue ownCatalogue;
    BufferSet ownBuffers;
    TUsbBulk ownLink;
    HidDevice ownHid;
};

// A workbench that owns its parts: one chip catalogue, one pair of buffers,
// one programmer link. The main window, the command line and the tests each
// keep one. The parts come first, so they exist before the references to them.
struct OwnedWorkbench : private WorkbenchParts, public Workbench {
    OwnedWorkbench() : Workbench(ownCatalogue, ownBuffers, ownLink, ownHid) {}
};
