#include <vector>

#include "chips/ChipRecord.h"
#include "link/CommandBlock.h"
#include "link/DeviceSession.h"
#include "link/TUsbBulk.h"
#include "ops/BlockRoutines.h"
#include "ops/BlockStream.h"
#include "ops/FamilyBehaviour.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"

namespace {

// Starts the chip erase of a serial flash, then polls its busy bit every 50 ms.
// The record's delay is the number of polls allowed beyond the first two.
Outcome eraseWholeChipPolled(Workbench& workbench, OperationHost& host, const ChipRecord& chip,
                             ByteOrder order)
{
    constexpr uint16_t WholeChip = 0x8000;
    constexpr uint32_t PollIntervalMs = 50;

    host.showAllowance(chip.delay, PollIntervalMs);
    CommandBlock block = CommandBlock::erase(WholeChip, order);
    if (!CommandDone(sendCommand(workbench.link, block, 0)))
        return FailedAt(workbench, Msg::EraseFailedAt, 0);
    for (uint32_t polls = 0;; ++polls) {
        host.sleepMs(PollIntervalMs);
        block.reuseForPollStatus();
        // A lost reply would read as "ready"; it must not pass for a finished erase.
        if (!CommandDone(sendCommand(workbench.link, block, 1)))
            return FailedAt(workbench, Msg::EraseFailedAt, 0);
        if (chip.delay < polls) {
            if (block.chipBusy())
                return Outcome::failure(MessageCatalogue::text(Msg::EraseTimedOut, workbench.languageIndex));
            break;
        }
        host.setProgress(polls + 1);
        host.pumpEvents();
        if (!block.chipBusy())
            break;
    }
    return Outcome::success();
}

// An EEPROM erased page by page; the parameter carries the page's address,
// of which the command has room for the low 16 bits.
Outcome erasePageByPage(Workbench& workbench, OperationHost& host, const ChipRecord& chip, ByteOrder order)
{
    host.showProgress(chip.flashSize);
    // 64-bit, so that a size near 4 GiB cannot wrap the address round to 0.
    for (uint64_t address = 0; address < chip.flashSize; address += chip.flashPage) {
        CommandBlock block = CommandBlock::erase(uint16_t(address & 0xFFFF), order);
        if (!CommandDone(sendCommand(workbench.link, block, 0)))
            return FailedAt(workbench, Msg::EraseFailedAt, uint32_t(address));
        host.setProgress(uint32_t(address));
        host.pumpEvents();
    }
    return Outcome::success();
}

Outcome eraseWithSingleCommand(Workbench& workbench, const ChipRecord& chip, ByteOrder order)
{
    CommandBlock block = CommandBlock::erase(chip.delay, order);
    if (!CommandDone(sendCommand(workbench.link, block, 0)))
        return FailedAt(workbench, Msg::EraseFailedAt, 0);
    return Outcome::success();
}

// A family without an erase command whose writes replace bytes: 0xFF
// programmed over the whole chip and read back, as Write and Verify do.
Outcome programBlank(Workbench& workbench, OperationHost& host, const ChipRecord& chip)
{
    const std::vector<uint8_t> blank(chip.flashSize, 0xFF);
    const StreamSpan wholeChip{0, chip.flashSize};
    host.showProgress(chip.flashSize);
    if (Outcome written = WriteBlocks(workbench, host, chip, wholeChip, blank.data()); !written.ok())
        return written;
    return VerifyBlocks(workbench, host, chip, wholeChip, blank.data());
}

}  // namespace

Outcome EraseChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip)
{
    host.setState(Msg::Erasing, MessageCatalogue::text(Msg::Erasing, workbench.languageIndex));
    host.showProgress(0);
    const ByteOrder order = CommandBlock::byteOrderFor(workbench.link.replyEndpoint());
    Outcome outcome = Outcome::success();
    switch (BehaviourOfClass(chip.chipClass).erase) {
    case EraseMethod::WholeChipPolled:
        outcome = eraseWholeChipPolled(workbench, host, chip, order);
        break;
    case EraseMethod::PageByPage:
        outcome = erasePageByPage(workbench, host, chip, order);
        break;
    case EraseMethod::SingleCommand:
        outcome = eraseWithSingleCommand(workbench, chip, order);
        break;
    case EraseMethod::ProgramBlank:
        outcome = programBlank(workbench, host, chip);
        break;
    case EraseMethod::None:
        // Refused before the session when Erase is asked for; an Auto run
        // goes straight on to its write.
        break;
    }
    if (outcome.ok())
        host.hideProgress();
    return outcome;
}
