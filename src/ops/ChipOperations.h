#pragma once

#include <array>
#include <cstdint>
#include <functional>

struct Workbench;
class OperationHost;

// The chip operations of the tool bar and the Operation menu.
enum class Operation { Read, Erase, Write, Verify, BlankCheck, Auto };

// The steps of an Auto run, as ticked in the "Auto Options" group.
struct AutoOptions {
    bool erase = true;
    bool program = true;
    bool verify = true;
    // A production job's own step after the others: every block-protection
    // bit of a serial flash set (ProtectChip). The window never ticks it.
    bool protect = false;
};

// One operation on the selected chip inside one device session: takes over the
// FLASH view's edits (Write, Auto), checks the precondition, times the routine,
// writes the completion line and ends the session. Refused with a beep while
// another session is open. Returns whether the operation did its work; a
// silent precondition stop or a refusal also returns false.
bool RunOperation(Workbench& workbench, OperationHost& host, Operation operation,
                  const AutoOptions& options = {});

// What the Detect button found.
enum class DetectionOutcome {
    Refused,              // a session or run held the chip, or the user kept the buffer
    NotConnected,
    CommunicationFailed,
    SerialFlashFound,     // a known id: the chip is selected
    SerialFlashUnknown,   // an id the database lacks
    FamilyDetected,       // an EEPROM family: only its type is selected
    NoChip,
};

// The Detect button: asks the programmer what sits in the socket and selects
// it, with a socket picture and a message box for every outcome.
DetectionOutcome DetectChip(Workbench& workbench, OperationHost& host);

// What a production run adds around each chip of the batch loop: a serial
// number patched in before, a log record after.
class BatchChipHooks {
public:
    virtual ~BatchChipHooks() = default;
    // A chip was found and Auto is about to run; `reply` is the socket query's
    // answer (detection code, then the JEDEC id of a serial flash). False
    // stops the loop before the chip.
    virtual bool beforeChip(const std::array<uint8_t, 4>& reply) = 0;
    // The chip's Auto run ended. False stops the loop before the next chip.
    virtual bool afterChip(bool passed) = 0;
    // A query found the socket empty: the last chip, if any, was taken out.
    virtual void socketEmpty() {}
    // After afterChip: the hooks watched the socket while they held the loop
    // (a record waiting for its log) and saw it empty, so the chip in it now
    // is a new one and is counted afresh.
    virtual bool chipTakenOutMeanwhile() { return false; }
    // Each query, answered by the programmer or not. False stops the loop.
    virtual bool queried(bool) { return true; }
};

// Batch mode: queries the socket every 150 ms while buttonDown() holds and runs
// Auto once for every chip put in, on the sixth query in a row that finds it.
// The caller disables the controls and sets the BULK/STOP captions; making
// buttonDown() false (STOP, closing the window) ends the loop after the query
// or the Auto run in progress; no Auto run starts after it. `hooks`, when
// given, run around every chip.
void RunBatch(Workbench& workbench, OperationHost& host, const AutoOptions& options,
              const std::function<bool()>& buttonDown, BatchChipHooks* hooks = nullptr);
