#pragma once

#include <cstdint>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "link/TUsbBulk.h"
#include "maint/HidDevice.h"

// Everything that lives longer than one command: the chip catalogue and the
// selection, the buffers, the programmer link and the settings values. The main
// window owns one; the command line owns one; tests make their own.
struct Workbench {
    ChipCatalogue catalogue;
    BufferSet buffers;
    TUsbBulk link;
    HidDevice hid;

    int32_t speed = 0;          // SPEED: low byte travels in the chip parameters
    int32_t languageIndex = 0;  // 0 Simplified Chinese, 1 Traditional, 2 English

    // Start and end of the last operation, from OperationHost::nowMs.
    int64_t startMs = 0;
    int64_t endMs = 0;

    // A device session is open: connection checks are skipped and other
    // commands are refused until it closes.
    bool busy = false;
};
