#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <optional>
#include <string>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "chips/ChipRecord.h"
#include "link/DeviceSession.h"
#include "ops/BlockRoutines.h"
#include "ops/ChipOperations.h"
#include "ops/FamilyBehaviour.h"
#include "core/OperationHost.h"
#include "ops/StreamSpans.h"
#include "core/Workbench.h"

namespace {

constexpr uint32_t SettleBeforeVerifyMs = 350;
constexpr uint16_t LargestPage = 256;  // the routines' receive areas hold one such block

const std::string& text(const Workbench& workbench, Msg message)
{
    return MessageCatalogue::text(message, workbench.languageIndex);
}

// The FLASH view holds its own copy; edits the user typed there are what Write
// and Auto must program.
void takeOverViewEdits(Workbench& workbench, OperationHost& host, const ChipRecord& chip)
{
    if (!host.flashViewModified())
        return;
    const uint32_t count = std::min({host.flashViewByteCount(), chip.flashSize, BufferSet::FlashCapacity});
    host.copyFlashViewOut(workbench.buffers.flash(), count);
    workbench.buffers.dataLength = static_cast<int32_t>(count);
    host.clearFlashViewModified();
}

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

std::string pageRefusal(const Workbench& workbench, const ChipRecord& chip)
{
    std::string message = text(workbench, Msg::PageSizeUnsupported);
    message.replace(message.find("%1"), 2, std::to_string(chip.flashPage));
    return message;
}

// An erase page is always whole: on a chip that ends inside a page, the last
// one would reach past the chip.
std::string erasePageRefusal(const Workbench& workbench, const ChipRecord& chip)
{
    std::string message = text(workbench, Msg::PagesDoNotFillChip);
    message.replace(message.find("%1"), 2, std::to_string(chip.flashSize));
    message.replace(message.find("%2"), 2, std::to_string(chip.flashPage));
    return message;
}

// Everything that would reach outside the chip or the buffer is refused here,
// before the session opens, with its message; empty when the operation may run.
std::string refusalOf(const Workbench& workbench, const ChipRecord& chip, Operation operation,
                      const AutoOptions& options)
{
    if (chip.flashPage == 0 || chip.flashPage > LargestPage)
        return pageRefusal(workbench, chip);
    const bool erases = operation == Operation::Erase || (operation == Operation::Auto && options.erase);
    if (erases && BehaviourOfClass(chip.chipClass).erase == EraseMethod::PageByPage &&
        chip.flashSize % chip.flashPage != 0)
        return erasePageRefusal(workbench, chip);
    const bool writes = operation == Operation::Write || (operation == Operation::Auto && options.program);
    const bool verifies = operation == Operation::Verify || (operation == Operation::Auto && options.verify);
    std::optional<Msg> refusal;
    if (operation == Operation::Read && chip.flashSize > BufferSet::FlashCapacity)
        refusal = Msg::ChipOutsideBuffer;
    if (!refusal && writes)
        refusal = WriteSpan(workbench.buffers, chip).refusal;
    if (!refusal && verifies)
        refusal = VerifySpan(workbench.buffers, chip).refusal;
    return refusal ? text(workbench, *refusal) : std::string();
}

void logCompletion(Workbench& workbench, OperationHost& host, Msg message)
{
    host.insertLogLine(text(workbench, message) + " (" + host.longTimeText() + ")");
}

// Differences of a steady clock, so an operation across midnight still shows
// its true duration.
std::string elapsedText(int64_t milliseconds)
{
    const int64_t seconds = std::max<int64_t>(milliseconds, 0) / 1000;
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%02" PRId64 ":%02" PRId64 ":%02" PRId64, seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
    return formatted;
}

void showTiming(Workbench& workbench, OperationHost& host)
{
    workbench.endMs = host.nowMs();
    host.setElapsedText(elapsedText(workbench.endMs - workbench.startMs));
    host.beep();
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
        return VerifyChip(workbench, host, chip, VerifySpan(workbench.buffers, chip).span);
    }
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

// Checking operations log their line before the timing, the others after it.
bool logsBeforeTiming(Operation operation)
{
    return operation == Operation::Verify || operation == Operation::BlankCheck || operation == Operation::Auto;
}

}  // namespace

bool RunOperation(Workbench& workbench, OperationHost& host, Operation operation, const AutoOptions& options)
{
    // One link, one session: a command arriving while another runs (a click
    // handled during a block loop) would interleave its blocks.
    if (workbench.busy) {
        host.beep();
        return false;
    }
    // A copy, so that nothing done to the table meanwhile changes the chip under way.
    const ChipRecord chip = workbench.catalogue.currentRecord();
    if (operation == Operation::Write || operation == Operation::Auto)
        takeOverViewEdits(workbench, host, chip);
    if (!preconditionHolds(workbench, operation))
        return false;
    if (const std::string refusal = refusalOf(workbench, chip, operation, options); !refusal.empty()) {
        host.errorBox(refusal);
        return false;
    }

    const int session = DeviceSessionBegin(workbench, host);
    if (session != 1 && session != 4 && session != 6) {
        DeviceSessionEnd(workbench, host);
        host.setStateText(text(workbench, Msg::NotConnected));
        return false;
    }
    workbench.startMs = host.nowMs();
    const Outcome outcome = runRoutine(workbench, host, chip, operation, options);
    if (!outcome.ok())
        host.errorBox(outcome.message());

    // Without the verify step an Auto run has nothing to confirm and logs nothing.
    const bool logs = outcome.ok() && (operation != Operation::Auto || options.verify);
    if (logs && logsBeforeTiming(operation))
        logCompletion(workbench, host, completionOf(operation));
    showTiming(workbench, host);
    if (logs && !logsBeforeTiming(operation))
        logCompletion(workbench, host, completionOf(operation));
    DeviceSessionEnd(workbench, host);
    return outcome.ok();
}
