#include "chips/ChipCatalogue.h"
#include "link/DeviceSession.h"

#include <algorithm>
#include <string>

#include "core/MessageCatalogue.h"
#include "link/CommandBlock.h"
#include "link/ProgrammerIdentity.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "link/TUsbBulk.h"

namespace {

constexpr uint8_t FourByteAddressInstruction = 0xB7;

bool equalIgnoringCase(const std::string& a, const std::string& b)
{
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

ChipParameters selectedChip(const Workbench& workbench)
{
    return ChipParameters::fromRecord(workbench.catalogue.currentRecord(), workbench.speed);
}

ByteOrder linkByteOrder(const Workbench& workbench)
{
    return CommandBlock::byteOrderFor(workbench.link.replyEndpoint());
}

// EndSession and close, leaving workbench.busy to whoever owns the session.
int endExchange(Workbench& workbench, OperationHost& host)
{
    CommandBlock block = CommandBlock::endSession();
    const bool wasOpen = workbench.link.isOpen();
    const int result = sendCommand(workbench.link, block, 0);
    workbench.link.USB_bulk_close();
    // A programmer that left during the session cannot take EndSession; the
    // panel must not claim it is still there.
    const bool gone = wasOpen && result < 0;
    const Msg state = gone ? Msg::NotConnected : Msg::Connected;
    host.setState(state, MessageCatalogue::text(state, workbench.languageIndex));
    return result;
}

}  // namespace

int openProgrammer(TUsbBulk& link)
{
    return link.prog_open(ProgrammerIdentity::VendorId, ProgrammerIdentity::Manufacturer,
                          ProgrammerIdentity::ProductId, ProgrammerIdentity::Product);
}

int sendCommand(TUsbBulk& link, CommandBlock& block, int replyFlag)
{
    return link.USB_bulk_cmd(block.data(), CommandBlock::Size, replyFlag);
}

void ConnectionCheck(Workbench& workbench, OperationHost& host)
{
    if (workbench.busy)
        return;
    const int language = workbench.languageIndex;
    if (openProgrammer(workbench.link) == 0) {
        host.setState(Msg::NotConnected, MessageCatalogue::text(Msg::NotConnected, language));
        return;
    }
    const std::string line =
        MessageCatalogue::text(Msg::ProgrammerFound, language) + " (" + host.longTimeText() + ")";
    if (!equalIgnoringCase(host.firstLogLine(), line))
        host.insertLogLine(line);
    workbench.link.USB_bulk_close();
    host.setState(Msg::Connected, MessageCatalogue::text(Msg::Connected, language));
}

int DeviceSessionBegin(Workbench& workbench, OperationHost& host)
{
    if (openProgrammer(workbench.link) == 0) {
        host.errorBox(MessageCatalogue::text(Msg::NotConnected, workbench.languageIndex));
        return 0;
    }
    workbench.busy = true;
    const ChipParameters chip = selectedChip(workbench);
    CommandBlock block = CommandBlock::beginSession(chip, linkByteOrder(workbench));
    // Without the reply the programmer may not hold the chip's parameters:
    // nothing may be sent under them.
    if (sendCommand(workbench.link, block, 1) != CommandBlock::Size) {
        host.errorBox(MessageCatalogue::text(Msg::CommunicationFailed, workbench.languageIndex));
        return SessionExchangeFailed;
    }
    switch (chip.chipClass) {
    case SpiFlash25:
        return 6;
    case I2cEeprom24:
        return 4;
    default:
        return 1;
    }
}

int DeviceSessionEnd(Workbench& workbench, OperationHost& host)
{
    const int result = endExchange(workbench, host);
    workbench.busy = false;
    return result;
}

int IdentifyChip(Workbench& workbench, OperationHost& host, std::array<uint8_t, 4>& reply)
{
    if (openProgrammer(workbench.link) == 0)
        return 0;
    CommandBlock block = CommandBlock::identify(selectedChip(workbench), linkByteOrder(workbench));
    const int exchanged = sendCommand(workbench.link, block, 1);
    endExchange(workbench, host);
    // A lost reply leaves the command's own bytes, which would read as an
    // empty socket.
    if (exchanged != CommandBlock::Size)
        return SessionExchangeFailed;
    std::copy_n(block.data(), reply.size(), reply.begin());
    return 7;
}

int EnterFourByteMode(Workbench& workbench)
{
    const uint8_t instruction[] = {FourByteAddressInstruction};
    CommandBlock block = CommandBlock::chipCommand(instruction);
    return sendCommand(workbench.link, block, 1);
}

int SetStartAddress(Workbench& workbench, uint32_t address, int replyFlag)
{
    CommandBlock block = CommandBlock::setAddress(address, linkByteOrder(workbench));
    return sendCommand(workbench.link, block, replyFlag);
}
