#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "core/HeldImage.h"
#include "core/MessageCatalogue.h"
#include "chips/ChipText.h"
#include "chips/SplitTitle.h"
#include "link/CommandBlock.h"
#include "ops/ChipOperations.h"
#include "core/OperationHost.h"
#include "ops/QuerySocket.h"
#include "ops/SelectChip.h"
#include "core/Workbench.h"

namespace {

const std::string& text(const Workbench& workbench, Msg message)
{
    return MessageCatalogue::text(message, workbench.languageIndex);
}

// Item `index` of a title, trimmed and as the lists hold it; empty when the
// title has fewer items.
std::string titleItem(const std::vector<std::string>& items, size_t index)
{
    return index < items.size() ? ChipText::gbkToUtf8(ChipText::trimmed(items[index])) : std::string();
}

int32_t slotWithId(const ChipCatalogue& catalogue, uint32_t id)
{
    const int32_t count = catalogue.recordCount();
    for (int32_t slot = 0; slot < count; ++slot) {
        if (catalogue.ChipDatabase[slot].chipId == id)
            return slot;
    }
    return -1;
}

// Three selection runs, each finding its text in the list the previous run
// rebuilt; the positions found are remembered for the next start. False only
// when the user kept the buffer and with it the previous chip: a text missing
// from its list leaves that list without selection, and the detection still
// tells what the lists show.
bool selectDetectedRecord(Workbench& workbench, OperationHost& host, const ChipRecord& record)
{
    const std::vector<std::string> items = SplitTitle(ChipText::titleBytes(record));
    return ChangeSelection(workbench, host, [&](ChipCatalogue& catalogue) {
        catalogue.INDEX1 = catalogue.typeList.find(titleItem(items, 0));
        catalogue.selectInLists(catalogue.INDEX1, catalogue.INDEX2, catalogue.INDEX3);
        catalogue.INDEX2 = catalogue.manufacturerList.find(titleItem(items, 1));
        catalogue.selectInLists(catalogue.INDEX1, catalogue.INDEX2, catalogue.INDEX3);
        catalogue.INDEX3 = catalogue.nameList.find(titleItem(items, 2));
        return catalogue.selectInLists(catalogue.INDEX1, catalogue.INDEX2, catalogue.INDEX3);
    }) != SelectionKept;
}

// A type position the lists lack still makes its run: the lists then show no
// type, manufacturer or chip, and the previous record stays current.
int32_t selectType(Workbench& workbench, OperationHost& host, int32_t typePosition)
{
    return ChangeSelection(workbench, host, [&](ChipCatalogue& catalogue) {
        return catalogue.selectInLists(typePosition, 0, 0);
    });
}

DetectionOutcome serialFlashAnswered(Workbench& workbench, OperationHost& host, const std::array<uint8_t, 4>& reply)
{
    ChipCatalogue& catalogue = workbench.catalogue;
    const uint32_t id = uint32_t(reply[1]) << 16 | uint32_t(reply[2]) << 8 | reply[3];
    const int32_t slot = slotWithId(catalogue, id);
    if (slot < 0) {
        if (catalogue.typeList.position != 0)
            selectType(workbench, host, 0);
        char bytes[16];
        std::snprintf(bytes, sizeof bytes, "%2.2X %2.2X %2.2X", reply[1], reply[2], reply[3]);
        host.errorBox(text(workbench, Msg::UnknownChipId) + bytes + text(workbench, Msg::ChooseType));
        return DetectionOutcome::SerialFlashUnknown;
    }
    if (!selectDetectedRecord(workbench, host, catalogue.ChipDatabase[slot]))
        return DetectionOutcome::Refused;
    host.showSocketPicture(SocketPicture::ChipSeated);
    host.informationBox(text(workbench, Msg::ChipDetected) + catalogue.nameList.selectedText() +
                        text(workbench, Msg::ChipTypeLine) + catalogue.typeList.selectedText());
    return DetectionOutcome::SerialFlashFound;
}

// The EEPROM families tell only their type, which the user refines by hand.
DetectionOutcome familyPresent(Workbench& workbench, OperationHost& host, int32_t typePosition)
{
    ChipCatalogue& catalogue = workbench.catalogue;
    if (catalogue.typeList.position != typePosition && selectType(workbench, host, typePosition) == SelectionKept)
        return DetectionOutcome::Refused;
    host.showSocketPicture(SocketPicture::ChipSeated);
    host.informationBox(text(workbench, Msg::ChipTypeDetected) + catalogue.typeList.selectedText() +
                        text(workbench, Msg::SelectTypeLine));
    return DetectionOutcome::FamilyDetected;
}

}  // namespace

DetectionOutcome DetectChip(Workbench& workbench, OperationHost& host)
{
    // Detection selects the chip it finds.
    if (RefusedWhileHeld(workbench, host))
        return DetectionOutcome::Refused;
    std::array<uint8_t, 4> reply{};
    const int result = QuerySocket(workbench, host, reply);
    if (result == 0) {
        host.errorBox(text(workbench, Msg::NotConnected));
        return DetectionOutcome::NotConnected;
    }
    if (result != SocketAnswered) {
        host.errorBox(text(workbench, Msg::CommunicationFailed));
        return DetectionOutcome::CommunicationFailed;
    }
    switch (reply[0]) {
    case CommandBlock::SerialFlashAnswered:
        return serialFlashAnswered(workbench, host, reply);
    case CommandBlock::I2cEepromPresent:
        return familyPresent(workbench, host, 1);
    case CommandBlock::MicrowireEepromPresent:
        return familyPresent(workbench, host, 2);
    default:
        host.showSocketPicture(SocketPicture::Empty);
        host.errorBox(text(workbench, Msg::NoChip));
        return DetectionOutcome::NoChip;
    }
}
