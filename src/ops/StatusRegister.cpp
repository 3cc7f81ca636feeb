#include "ops/StatusRegister.h"

#include <array>

#include "chips/ChipCatalogue.h"
#include "chips/ChipRecord.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "link/DeviceSession.h"
#include "ops/BlockStream.h"
#include "ops/FlashInstructions.h"
#include "ops/OperationFrame.h"

namespace {

constexpr uint8_t WriteStatusInstruction = 0x01;
// A status register write takes 10 ms on typical parts, 15 ms at worst.
constexpr BusyWait StatusWriteWait{0, 1000, Msg::CommunicationFailed, Msg::ProtectionStays};
// Set by the chip, not by a write.
constexpr uint8_t ChipOwnedBits = 0x03;

constexpr std::array CommonBits{
    StatusBit{0, "BUSY", Msg::StatusBitBusy, false},
    StatusBit{1, "WEL", Msg::StatusBitWriteEnable, false},
    StatusBit{2, "BP0", Msg::StatusBitBlockProtect, true},
    StatusBit{3, "BP1", Msg::StatusBitBlockProtect, true},
    StatusBit{4, "BP2", Msg::StatusBitBlockProtect, true},
    StatusBit{5, "TB", Msg::StatusBitTopBottom, false},
    StatusBit{6, "SEC", Msg::StatusBitSector, false},
    StatusBit{7, "SRP", Msg::StatusBitRegisterProtect, false},
};

bool refused(Workbench& workbench, OperationHost& host)
{
    if (workbench.busy) {
        host.beep();
        return true;
    }
    if (workbench.catalogue.currentRecord().chipClass != SpiFlash25) {
        host.errorBox(FrameText(workbench, Msg::StatusRegisterUnsupported));
        return true;
    }
    return false;
}

// Opens the session, runs `step`, shows its failure, closes the session.
template <typename Step>
bool inSession(Workbench& workbench, OperationHost& host, Step step)
{
    if (!OpenFramedSession(workbench, host))
        return false;
    const Outcome outcome = step();
    if (!outcome.ok())
        host.errorBox(outcome.message());
    ShowTiming(workbench, host);
    DeviceSessionEnd(workbench, host);
    return outcome.ok();
}

}  // namespace

std::span<const StatusBit> StatusBitsOf(const ChipRecord&)
{
    return CommonBits;
}

std::string StatusBitNames(const ChipRecord& chip, uint8_t status, bool protectionOnly)
{
    std::string names;
    for (const StatusBit& bit : StatusBitsOf(chip)) {
        if (!(status & bit.mask()) || (protectionOnly && !bit.protects))
            continue;
        if (!names.empty())
            names += ", ";
        names += bit.name;
    }
    return names;
}

std::string ProtectionStatusText(const ChipRecord& chip, uint8_t status)
{
    const std::string names = StatusBitNames(chip, status, true);
    return names.empty() ? StatusText(status) : StatusText(status) + ": " + names;
}

uint8_t FullProtection(const ChipRecord& chip, uint8_t status)
{
    uint8_t value = status & ~ChipOwnedBits;
    for (const StatusBit& bit : StatusBitsOf(chip)) {
        if (bit.protects || bit.meaning == Msg::StatusBitRegisterProtect)
            value |= bit.mask();
    }
    return value;
}

bool StatusWriteTook(uint8_t value, uint8_t status)
{
    return (status & ~ChipOwnedBits) == (value & ~ChipOwnedBits);
}

Outcome WriteStatusRegister(Workbench& workbench, OperationHost& host, uint8_t value, uint8_t& after)
{
    const uint8_t instruction[] = {WriteStatusInstruction, value};
    if (!CommandDone(SendWithWriteEnable(workbench, instruction)))
        return Outcome::failure(FrameText(workbench, Msg::CommunicationFailed));
    return WaitWhileBusy(workbench, host, StatusWriteWait, after);
}

bool RunReadStatusRegister(Workbench& workbench, OperationHost& host, uint8_t& status)
{
    if (refused(workbench, host))
        return false;
    return inSession(workbench, host, [&] {
        if (!CommandDone(ReadFlashStatus(workbench, status)))
            return Outcome::failure(FrameText(workbench, Msg::CommunicationFailed));
        return Outcome::success();
    });
}

bool RunWriteStatusRegister(Workbench& workbench, OperationHost& host, uint8_t value, uint8_t& status)
{
    if (refused(workbench, host))
        return false;
    return inSession(workbench, host, [&] {
        if (Outcome written = WriteStatusRegister(workbench, host, value, status); !written.ok())
            return written;
        if (!StatusWriteTook(value, status))
            return Outcome::failure(MessageCatalogue::format(Msg::StatusRegisterWriteFailed, workbench.languageIndex,
                                                             {StatusText(value), StatusText(status)}));
        LogCompletion(host, MessageCatalogue::format(Msg::StatusRegisterWritten, workbench.languageIndex,
                                                     {StatusText(status)}));
        return Outcome::success();
    });
}
