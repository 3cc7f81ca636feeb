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

// Only the serial flash and the two EEPROM families answer Identify; for the
// others the reply says nothing about the socket. A serial flash bus with
// nothing on it reads all ones or all zeros.
bool socketEmpty(const ChipRecord& chip, const std::array<uint8_t, 4>& reply)
{
    if (chip.chipClass > MicrowireEeprom93)
        return false;
    if (reply[0] == CommandBlock::SerialFlashAnswered) {
        const uint32_t id = serialFlashId(reply);
        return id == 0 || id == 0xFFFFFF;
    }
    return reply[0] != CommandBlock::I2cEepromPresent && reply[0] != CommandBlock::MicrowireEepromPresent;
}

std::string chipName(const ChipRecord& chip)
{
    const std::vector<std::string> items = SplitTitle(ChipText::titleBytes(chip));
    return items.size() > 2 ? ChipText::gbkToUtf8(ChipText::trimmed(items[2])) : ChipText::titleBytes(chip);
}

std::string mismatchQuestion(const Workbench& workbench, const ChipRecord& chip, uint32_t seatedId)
{
    std::string question = text(workbench, Msg::ChipIdMismatch);
    const std::string values[] = {idText(seatedId), chipName(chip), idText(chip.chipId)};
    for (int i = 0; i < 3; ++i) {
        const std::string placeholder = "%" + std::to_string(i + 1);
        question.replace(question.find(placeholder), placeholder.size(), values[i]);
    }
    return question;
}

}  // namespace

bool SeatedChipAccepted(Workbench& workbench, OperationHost& host, const ChipRecord& chip, bool changesChip)
{
    std::array<uint8_t, 4> reply{};
    const int result = QuerySocket(workbench, host, reply);
    if (result == 0) {
        host.errorBox(text(workbench, Msg::NotConnected));
        host.setStateText(text(workbench, Msg::NotConnected));
        return false;
    }
    if (result != SocketAnswered) {
        host.errorBox(text(workbench, Msg::CommunicationFailed));
        return false;
    }
    if (socketEmpty(chip, reply)) {
        host.showSocketPicture(SocketPicture::Empty);
        host.errorBox(text(workbench, Msg::NoChipInSocket));
        return false;
    }
    const bool mismatch = chip.chipClass == SpiFlash25 && reply[0] == CommandBlock::SerialFlashAnswered
        && serialFlashId(reply) != (chip.chipId & 0xFFFFFF);
    return !(changesChip && mismatch) || host.question(mismatchQuestion(workbench, chip, serialFlashId(reply)));
}
