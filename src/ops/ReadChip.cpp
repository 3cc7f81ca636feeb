#include <cstring>

#include "buffers/BufferSet.h"
#include "chips/ChipRecord.h"
#include "link/TUsbBulk.h"
#include "ops/BlockRoutines.h"
#include "ops/StreamBlocks.h"
#include "core/OperationHost.h"
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

Outcome ReadBlocks(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span,
                   uint8_t* image)
{
    return StreamBlocks(workbench, host, chip, {span, chip.flashSize, 1, Msg::ReadFailedAt},
                        [&](uint32_t address, uint32_t block) {
                            return workbench.link.USB_bulk_read(image + address, int(block)) == int(block);
                        });
}

Outcome ReadChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip)
{
    host.setState(Msg::Reading, MessageCatalogue::text(Msg::Reading, workbench.languageIndex));
    host.showProgress(chip.flashSize);
    uint8_t* flash = workbench.buffers.flash(chip.flashSize);
    // From the first block on the buffer holds the chip's bytes, not the
    // file's, even when the read stops part-way.
    workbench.buffers.sourceFile.clear();
    if (Outcome read = ReadBlocks(workbench, host, chip, {0, chip.flashSize}, flash); !read.ok()) {
        // The blocks that did arrive are in the buffer; let the view show them.
        host.flashBufferChanged(chip.flashSize);
        return read;
    }

    workbench.buffers.dataLength = trimmedLength(flash, chip.flashSize);
    host.flashBufferChanged(chip.flashSize);
    host.hideProgress();
    return Outcome::success();
}
