#include <array>
#include <cstring>

#include "chips/ChipRecord.h"
#include "link/TUsbBulk.h"
#include "ops/BlockRoutines.h"
#include "ops/BlockStream.h"
#include "core/OperationHost.h"
#include "ops/StreamSpans.h"
#include "core/Workbench.h"

Outcome BlankCheckChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip)
{
    host.setStateText(MessageCatalogue::text(Msg::BlankChecking, workbench.languageIndex));
    host.showProgress(chip.flashSize);
    if (!StartStream(workbench, chip, 0, 1))
        return FailedAt(workbench, Msg::BlankCheckFailedAt, 0);

    std::array<uint8_t, LargestBlock> erased;
    erased.fill(0xFF);
    // Only the bytes a block brought are examined, so nothing stale is ever compared.
    std::array<uint8_t, LargestBlock> received;
    // 64-bit, so that a size near 4 GiB cannot wrap the offset round to 0.
    for (uint64_t offset = 0; offset < chip.flashSize;) {
        const uint32_t block = BlockAt(chip, offset, chip.flashSize);
        if (workbench.link.USB_bulk_read(received.data(), int(block)) != int(block))
            return FailedAt(workbench, Msg::BlankCheckFailedAt, uint32_t(offset));
        if (std::memcmp(received.data(), erased.data(), block) != 0)
            return Outcome::failure(MessageCatalogue::text(Msg::NotBlank, workbench.languageIndex));
        host.setProgress(uint32_t(offset));
        host.pumpEvents();
        offset += block;
    }
    host.hideProgress();
    return Outcome::success();
}
