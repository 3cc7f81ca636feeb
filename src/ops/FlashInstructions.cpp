#include "ops/FlashInstructions.h"

#include "chips/ChipRecord.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "link/CommandBlock.h"
#include "link/DeviceSession.h"
#include "ops/BlockStream.h"
#include "ops/StatusRegister.h"

namespace {

constexpr uint8_t WriteEnable = 0x06;
constexpr uint8_t SectorErase = 0x20;
constexpr uint8_t BlockErase = 0xD8;

// Names the bits that block the write, so that the remedy is plain.
std::string protectedText(const Workbench& workbench, const ChipRecord& chip, uint8_t status)
{
    const Msg message = workbench.commandLineRemedies ? Msg::ChipWriteProtectedRunUnprotect : Msg::ChipWriteProtected;
    return MessageCatalogue::format(message, workbench.languageIndex, {ProtectionStatusText(chip, status)});
}

}  // namespace

int ReadFlashStatus(Workbench& workbench, uint8_t& status)
{
    CommandBlock block;
    block.reuseForPollStatus();
    const int result = sendCommand(workbench.link, block, 1);
    status = block[0];
    return result;
}

int SendWithWriteEnable(Workbench& workbench, std::span<const uint8_t> instruction)
{
    const uint8_t enable[] = {WriteEnable};
    CommandBlock block = CommandBlock::chipCommand(enable);
    if (const int result = sendCommand(workbench.link, block, 0); !CommandDone(result))
        return result;
    block = CommandBlock::chipCommand(instruction);
    return sendCommand(workbench.link, block, 0);
}

std::vector<uint8_t> EraseInstruction(const ChipRecord& chip, EraseUnit unit, uint32_t address)
{
    std::vector<uint8_t> bytes{unit == EraseUnit::Sector ? SectorErase : BlockErase};
    for (int shift = chip.flashSize > FourByteAddressThreshold ? 24 : 16; shift >= 0; shift -= 8)
        bytes.push_back(uint8_t(address >> shift));
    return bytes;
}

Outcome WaitWhileBusy(Workbench& workbench, OperationHost& host, const BusyWait& wait, uint8_t& status)
{
    if (wait.firstWaitMs)
        host.sleepMs(wait.firstWaitMs);
    const int64_t deadline = host.nowMs() + wait.allowanceMs;
    for (;;) {
        // A lost reply would read as "ready"; it must not pass for a finished erase.
        if (!CommandDone(ReadFlashStatus(workbench, status)))
            return FailedAt(workbench, wait.lostReply, wait.address);
        if (!(status & FlashStatus::Busy))
            return Outcome::success();
        if (host.nowMs() >= deadline) {
            return Outcome::failure(
                MessageCatalogue::format(wait.timedOut, workbench.languageIndex, {StatusText(status)}));
        }
        host.pumpEvents();
    }
}

Outcome RefuseIfProtected(Workbench& workbench, const ChipRecord& chip)
{
    if (chip.chipClass != SpiFlash25)
        return Outcome::success();
    uint8_t status = 0;
    if (!CommandDone(ReadFlashStatus(workbench, status)))
        return Outcome::failure(MessageCatalogue::text(Msg::CommunicationFailed, workbench.languageIndex));
    if (!(status & FlashStatus::ProtectionBits))
        return Outcome::success();
    return Outcome::failure(protectedText(workbench, chip, status));
}

std::string ProtectionHint(Workbench& workbench, const ChipRecord& chip)
{
    uint8_t status = 0;
    if (chip.chipClass != SpiFlash25 || !CommandDone(ReadFlashStatus(workbench, status))
        || !(status & FlashStatus::ProtectionBits))
        return {};
    return protectedText(workbench, chip, status);
}

std::string StatusText(uint8_t status)
{
    return AddressText(status);
}
