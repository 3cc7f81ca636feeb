#include "ops/ProtectChip.h"

#include <cstdint>

#include "chips/ChipRecord.h"
#include "chips/ChipRow.h"
#include "core/MessageCatalogue.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "ops/BlockStream.h"
#include "ops/FlashInstructions.h"
#include "ops/OperationFrame.h"
#include "ops/StatusRegister.h"

Outcome ProtectChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip)
{
    const int language = workbench.languageIndex;
    uint8_t status = 0;
    if (!CommandDone(ReadFlashStatus(workbench, status)))
        return Outcome::failure(FrameText(workbench, Msg::CommunicationFailed));
    const uint8_t wanted = FullProtection(chip, status);
    uint8_t after = 0;
    if (Outcome written = WriteStatusRegister(workbench, host, wanted, after); !written.ok())
        return written;
    if (!StatusWriteTook(wanted, after))
        return Outcome::failure(
            MessageCatalogue::format(Msg::ProtectAfterFailed, language, {StatusText(after), StatusText(wanted)}));
    LogCompletion(host, MessageCatalogue::format(Msg::ProtectAfterSet, language, {StatusText(after)}));
    return Outcome::success();
}

std::string ProtectionRefusal(const ChipRecord& chip, int language)
{
    if (chip.chipClass == SpiFlash25)
        return {};
    const ChipRow row = ChipRow::fromRecord(chip);
    return MessageCatalogue::format(
        Msg::ProtectAfterUnsupported, language,
        {row.cells[ChipRow::Type] + "," + row.cells[ChipRow::Manufacturer] + "," + row.cells[ChipRow::Name]});
}
