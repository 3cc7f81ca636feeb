#pragma once

#include <cstdint>

class BufferSet;
class ChipCatalogue;
class HidDevice;
class TUsbBulk;

// Everything that lives longer than one command: the chip catalogue and the
// selection, the buffers, the programmer link and the settings values. The
// parts are held by reference so that this state sits below every folder that
// uses it; OwnedWorkbench keeps a set of parts together for the main window,
// the command line and the tests.
//
// A station with several programmers has one workbench per programmer. They
// refer to the same catalogue (the station's chip, read only while chips are
// programmed) and each has its own buffer set over the station's image, link,
// boot-loader device, times and busy flag, so the same operation routines run
// for every programmer on its own thread and none writes what another reads.
struct Workbench {
    Workbench(ChipCatalogue& catalogue, BufferSet& buffers, TUsbBulk& link, HidDevice& hid)
        : catalogue(catalogue), buffers(buffers), link(link), hid(hid)
    {
    }
    // Another programmer at the station of `station`: the same catalogue and
    // settings; its own buffers, link and session state.
    Workbench(const Workbench& station, BufferSet& buffers, TUsbBulk& link, HidDevice& hid)
        : catalogue(station.catalogue)
        , buffers(buffers)
        , link(link)
        , hid(hid)
        , speed(station.speed)
        , languageIndex(station.languageIndex)
        , commandLineRemedies(station.commandLineRemedies)
    {
    }
    Workbench(const Workbench&) = delete;
    Workbench& operator=(const Workbench&) = delete;

    // Shared by the programmers of a station.
    ChipCatalogue& catalogue;

    // This programmer's own.
    BufferSet& buffers;
    TUsbBulk& link;
    HidDevice& hid;

    int32_t speed = 0;          // SPEED: low byte travels in the chip parameters
    int32_t languageIndex = 0;  // 0 Simplified Chinese, 1 Traditional, 2 English
    // A seated serial flash whose identification differs from the selected
    // record's is erased and written without a question. The window's own
    // commands take the user's pick as meant; everywhere else (the command
    // line, a production seat) changing such a chip asks first.
    bool acceptsOtherIdentification = false;
    // Messages name the command line's remedies ("belcor-cli unprotect")
    // rather than the window's menu items.
    bool commandLineRemedies = false;

    // Start and end of the last operation, from OperationHost::nowMs.
    int64_t startMs = 0;
    int64_t endMs = 0;

    // A device session is open, or a production run programs the station's
    // chips: connection checks are skipped and other commands are refused
    // until it ends.
    bool busy = false;
    // A locked production job is open: its chip and image stay as it set them.
    bool jobLocked = false;

    // Whether the chip selection, the chip records, the FLASH buffer and the
    // range must stay as they are: every command that would change them is
    // refused. A production run reads them on other threads, and a locked job
    // programs exactly the image it was made with.
    bool holdsImage() const { return busy || jobLocked; }
};
