#include <string>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "chips/ChipRecord.h"
#include "link/DeviceSession.h"
#include "link/TUsbBulk.h"
#include "buffers/FlashViewEdits.h"
#include "ops/BlockRoutines.h"
#include "ops/ChipOperations.h"
#include "ops/ElapsedText.h"
#include "ops/FamilyBehaviour.h"
#include "ops/SeatedChip.h"
#include "core/HeldImage.h"
#include "core/OperationHost.h"
#include "ops/FlashInstructions.h"
#include "ops/ProtectChip.h"
#include "ops/OperationFrame.h"
#include "ops/StreamSpans.h"
#include "core/Workbench.h"

namespace {

constexpr uint32_t SettleBeforeVerifyMs = 350;

bool preconditionHolds(const Workbench& workbench, Operation operation)
{
    const int32_t length = workbench.buffers.dataLength;
    switch (operation) {
    case Operation::Write:
    case Operation::Verify:
        return length != 0;
    case Operation::Auto:
        return length > 0;
    default:
        return true;
    }
}

Outcome runAuto(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const AutoOptions& options)
{
    if (options.erase) {
        if (Outcome erased = EraseChip(workbench, host, chip); !erased.ok())
            return erased;
    }
    if (options.program) {
        if (Outcome written = WriteChip(workbench, host, chip, WriteSpan(workbench.buffers, chip).span);
            !written.ok())
            return written;
    }
    if (options.verify) {
        host.sleepMs(SettleBeforeVerifyMs);
        // After the write, the span covers the page-rounded length it stored.
        if (Outcome verified = VerifyChip(workbench, host, chip, VerifySpan(workbench.buffers, chip).span);
            !verified.ok())
            return verified;
    }
    // Last: a protected chip would refuse whatever a step after it wrote.
    if (options.protect)
        return ProtectChip(workbench, host, chip);
    return Outcome::success();
}

Outcome runRoutine(Workbench& workbench, OperationHost& host, const ChipRecord& chip, Operation operation,
                   const AutoOptions& options)
{
    switch (operation) {
    case Operation::Read:
        return ReadChip(workbench, host, chip);
    case Operation::Erase:
        return EraseChip(workbench, host, chip);
    case Operation::Write:
        return WriteChip(workbench, host, chip, WriteSpan(workbench.buffers, chip).span);
    case Operation::Verify:
        return VerifyChip(workbench, host, chip, VerifySpan(workbench.buffers, chip).span);
    case Operation::BlankCheck:
        return BlankCheckChip(workbench, host, chip);
    case Operation::Auto:
        return runAuto(workbench, host, chip, options);
    }
    return Outcome::success();
}

Msg completionOf(Operation operation)
{
    switch (operation) {
    case Operation::Read:
        return Msg::ReadDone;
    case Operation::Erase:
        return Msg::EraseDone;
    case Operation::Write:
        return Msg::WriteDone;
    case Operation::Verify:
        return Msg::VerifyDone;
    case Operation::BlankCheck:
        return Msg::BlankDone;
    case Operation::Auto:
        break;
    }
    return Msg::AutoDone;
}

// After a read the buffer holds what the chip holds; after a write the chip
// holds the buffer. Either way nothing in the buffer would be lost any more.
bool savesBuffer(Operation operation, const AutoOptions& options)
{
    return operation == Operation::Read || operation == Operation::Write
        || (operation == Operation::Auto && options.program);
}

Msg disconnectionOf(Operation operation)
{
    switch (operation) {
    case Operation::Read:
        return Msg::DisconnectedDuringRead;
    case Operation::Erase:
        return Msg::DisconnectedDuringErase;
    case Operation::Write:
        return Msg::DisconnectedDuringWrite;
    case Operation::Verify:
        return Msg::DisconnectedDuringVerify;
    case Operation::BlankCheck:
        return Msg::DisconnectedDuringBlankCheck;
    case Operation::Auto:
        break;
    }
    return Msg::DisconnectedDuringAuto;
}

// A programmer unplugged mid-operation is named as such, the bars go back to
// 0 and the log keeps a line of it: the address of the failed transfer would
// only suggest a faulty chip. Other failures leave the bars where they stopped.
// A serial flash under block protection ignores program and erase, which
// shows only as a verify mismatch: after a failed write, a host that keeps
// the causes of failures gets one status poll and the protection it finds.
void reportFailure(Workbench& workbench, OperationHost& host, const ChipRecord& chip, Operation operation,
                   const AutoOptions& options, const Outcome& outcome)
{
    if (!workbench.link.deviceLost()) {
        host.errorBox(outcome.message());
        const bool wrote = host.wantsFailureCause()
            && (operation == Operation::Write || (operation == Operation::Auto && options.program));
        if (const std::string hint = wrote ? ProtectionHint(workbench, chip) : std::string(); !hint.empty())
            host.failureCause(hint);
        return;
    }
    const std::string& message = FrameText(workbench, disconnectionOf(operation));
    host.hideProgress();
    host.errorBox(message);
    host.insertLogLine(message + " (" + host.longTimeText() + ")");
}

// Checking operations log their line before the timing, the others after it.
bool logsBeforeTiming(Operation operation)
{
    return operation == Operation::Verify || operation == Operation::BlankCheck || operation == Operation::Auto;
}

}  // namespace

bool RunOperation(Workbench& workbench, OperationHost& host, Operation operation, const AutoOptions& options)
{
    // One link, one session: a command arriving while another runs (a click
    // handled during a block loop) would interleave its blocks. A Read would
    // replace an image that a production run or a locked job holds.
    if (workbench.busy) {
        host.beep();
        return false;
    }
    if (operation == Operation::Read && RefusedWhileHeld(workbench, host))
        return false;
    // A copy, so that nothing done to the table meanwhile changes the chip under way.
    const ChipRecord chip = workbench.catalogue.currentRecord();
    if (operation == Operation::Write || operation == Operation::Verify || operation == Operation::Auto)
        TakeOverFlashViewEdits(workbench, host);
    if (!preconditionHolds(workbench, operation))
        return false;
    if (const std::string refusal = RefusalOf(workbench, chip, operation, options); !refusal.empty()) {
        host.errorBox(refusal);
        return false;
    }

    const bool changesChip = operation == Operation::Erase || operation == Operation::Write
        || (operation == Operation::Auto && (options.erase || options.program));
    if (!SeatedChipAccepted(workbench, host, chip, changesChip))
        return false;

    if (!OpenFramedSession(workbench, host))
        return false;
    const Outcome outcome = runRoutine(workbench, host, chip, operation, options);
    if (!outcome.ok())
        reportFailure(workbench, host, chip, operation, options, outcome);
    else if (savesBuffer(operation, options))
        workbench.buffers.unsaved = false;

    // Without the verify step an Auto run has nothing to confirm and logs nothing.
    const bool logs = outcome.ok() && (operation != Operation::Auto || options.verify);
    const std::string completion = FrameText(workbench, completionOf(operation));
    if (logs && logsBeforeTiming(operation))
        LogCompletion(host, completion);
    ShowTiming(workbench, host);
    if (logs && !logsBeforeTiming(operation))
        LogCompletion(host, completion);
    DeviceSessionEnd(workbench, host);
    return outcome.ok();
}
