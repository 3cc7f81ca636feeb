#include <array>
#include <cstring>

#include "chips/ChipRecord.h"
#include "link/TUsbBulk.h"
#include "ops/BlockRoutines.h"
#include "ops/StreamBlocks.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"

Outcome BlankCheckChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip)
{
    host.setState(Msg::BlankChecking, MessageCatalogue::text(Msg::BlankChecking, workbench.languageIndex));
    host.showProgress(chip.flashSize);
    std::array<uint8_t, LargestBlock> erased;
    erased.fill(0xFF);
    // Only the bytes a block brought are examined, so nothing stale is ever compared.
    std::array<uint8_t, LargestBlock> received;
    Outcome blank = StreamBlocks(
        workbench, host, chip, {{0, chip.flashSize}, chip.flashSize, 1, Msg::BlankCheckFailedAt},
        [&](uint32_t, uint32_t block) {
            return workbench.link.USB_bulk_read(received.data(), int(block)) == int(block);
        },
        [&](uint32_t, uint32_t block) {
            if (std::memcmp(received.data(), erased.data(), block) == 0)
                return Outcome::success();
            return Outcome::failure(MessageCatalogue::text(Msg::NotBlank, workbench.languageIndex));
        });
    if (!blank.ok())
        return blank;
    host.hideProgress();
    return Outcome::success();
}
