#include "ops/SeatedChip.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "chips/ChipRecord.h"
#include "core/MessageCatalogue.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "chips/ChipText.h"
#include "chips/SplitTitle.h"
#include "link/CommandBlock.h"
#include "ops/QuerySocket.h"

namespace {

const std::string& text(const Workbench& workbench, Msg message)
{
    return MessageCatalogue::text(message, workbench.languageIndex);
}

uint32_t serialFlashId(const std::array<uint8_t, 4>& reply)
{
    return uint32_t(reply[1]) << 16 | uint32_t(reply[2]) << 8 | reply[3];
}

std::string idText(uint32_t id)
{
    char formatted[16];
    std::snprintf(formatted, sizeof formatted, "%06X", id & 0xFFFFFF);
    return formatted;
}

// A serial flash record without an identification, picked by hand: its chip
// answers no ID, so the bus reads as if nothing were on it.
bool hasNoIdentification(const ChipRecord& chip)
{
    return chip.chipClass == SpiFlash25 && chip.chipId == 0;
}

bool silentBus(uint32_t id)
{
    return id == 0 || id == 0xFFFFFF;
}

// The family a detection code names, or -1 for no chip. A serial flash bus
// with nothing on it reads all ones or all zeros; that is an empty socket
// unless the selected chip is one that answers nothing else.
int seatedFamily(const std::array<uint8_t, 4>& reply, const ChipRecord& chip)
{
    switch (reply[0]) {
    case CommandBlock::SerialFlashAnswered:
        return silentBus(serialFlashId(reply)) && !hasNoIdentification(chip) ? -1 : SpiFlash25;
    case CommandBlock::I2cEepromPresent:
        return I2cEeprom24;
    case CommandBlock::MicrowireEepromPresent:
        return MicrowireEeprom93;
    default:
        return -1;
    }
}

const std::string& familyName(const Workbench& workbench, int family)
{
    static constexpr Msg names[] = {Msg::SerialFlashFamily, Msg::I2cEepromFamily, Msg::MicrowireEepromFamily};
    return text(workbench, names[family]);
}

std::string chipName(const ChipRecord& chip)
{
    const std::vector<std::string> items = SplitTitle(ChipText::titleBytes(chip));
    return items.size() > 2 ? ChipText::gbkToUtf8(ChipText::trimmed(items[2])) : ChipText::titleBytes(chip);
}

std::string mismatchQuestion(const Workbench& workbench, const ChipRecord& chip, uint32_t seatedId)
{
    return MessageCatalogue::format(Msg::ChipIdMismatch, workbench.languageIndex,
                                    {idText(seatedId), chipName(chip), idText(chip.chipId)});
}

}  // namespace

bool SeatedChipAccepted(Workbench& workbench, OperationHost& host, const ChipRecord& chip, bool changesChip)
{
    if (chip.chipClass > MicrowireEeprom93)
        return true;
    std::array<uint8_t, 4> reply{};
    const int result = QuerySocket(workbench, host, reply);
    if (result == 0) {
        host.errorBox(text(workbench, Msg::NotConnected));
        host.setState(Msg::NotConnected, text(workbench, Msg::NotConnected));
        return false;
    }
    if (result != SocketAnswered) {
        host.errorBox(text(workbench, Msg::CommunicationFailed));
        return false;
    }
    const int family = seatedFamily(reply, chip);
    if (family < 0) {
        host.showSocketPicture(SocketPicture::Empty);
        host.errorBox(text(workbench, Msg::NoChipInSocket));
        return false;
    }
    if (family != chip.chipClass) {
        host.errorBox(MessageCatalogue::format(Msg::OtherFamilySeated, workbench.languageIndex,
                                               {familyName(workbench, family), chipName(chip),
                                                familyName(workbench, chip.chipClass)}));
        return false;
    }
    const uint32_t seatedId = serialFlashId(reply);
    const bool otherId = family == SpiFlash25 && seatedId != (chip.chipId & 0xFFFFFF) &&
                         !(hasNoIdentification(chip) && silentBus(seatedId));
    if (!changesChip || !otherId || workbench.acceptsOtherIdentification)
        return true;
    return host.question(mismatchQuestion(workbench, chip, seatedId));
}
