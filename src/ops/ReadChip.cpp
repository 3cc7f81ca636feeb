#include <cstring>

#include "buffers/BufferSet.h"
#include "chips/ChipRecord.h"
#include "link/TUsbBulk.h"
#include "ops/BlockRoutines.h"
#include "ops/BlockStream.h"
#include "core/OperationHost.h"
#include "ops/StreamSpans.h"
#include "core/Workbench.h"

namespace {

// Bytes up to the last one that is not 0xFF, made even; 0 for an erased image.
int32_t trimmedLength(const uint8_t* image, uint32_t size)
{
    constexpr uint64_t Erased = ~uint64_t{0};
    uint32_t length = size;
    // Whole words first: an erased 64 MiB image is then a few milliseconds.
    while (length >= 8) {
        uint64_t word;
        std::memcpy(&word, image + length - 8, 8);
        if (word != Erased)
            break;
        length -= 8;
    }
    while (length > 0 && image[length - 1] == 0xFF)
        --length;
    return static_cast<int32_t>(length + (length & 1));
}

}  // namespace

Outcome ReadChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip)
{
    host.setStateText(MessageCatalogue::text(Msg::Reading, workbench.languageIndex));
    host.showProgress(chip.flashSize);
    if (!StartStream(workbench, chip, 0, 1))
        return FailedAt(workbench, Msg::ReadFailedAt, 0);

    uint8_t* flash = workbench.buffers.flash();
    for (uint32_t offset = 0; offset < chip.flashSize;) {
        const uint32_t block = BlockAt(chip, offset, chip.flashSize);
        if (workbench.link.USB_bulk_read(flash + offset, int(block)) != int(block)) {
            // The blocks that did arrive are in the buffer; let the view show them.
            host.flashBufferChanged(chip.flashSize);
            return FailedAt(workbench, Msg::ReadFailedAt, offset);
        }
        host.setProgress(offset);
        host.pumpEvents();
        offset += block;
    }

    workbench.buffers.dataLength = trimmedLength(flash, chip.flashSize);
    host.flashBufferChanged(chip.flashSize);
    host.hideProgress();
    return Outcome::success();
}
