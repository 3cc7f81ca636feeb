#include "buffers/BufferSet.h"
#include "chips/ChipRecord.h"
#include "link/TUsbBulk.h"
#include "ops/BlockRoutines.h"
#include "ops/BlockStream.h"
#include "ops/FamilyBehaviour.h"
#include "core/OperationHost.h"
#include "ops/StreamSpans.h"
#include "core/Workbench.h"

Outcome WriteBlocks(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span,
                    const uint8_t* image)
{
    if (!StartStream(workbench, chip, span.start, 0))
        return FailedAt(workbench, Msg::WriteFailedAt, span.start);
    // The last block may pass the span's end, never the chip's or the buffer's;
    // it carries the image's bytes from there.
    const uint64_t end = BufferStreamEnd(chip);
    for (uint32_t address = span.start; address < span.end;) {
        const uint32_t block = BlockAt(chip, address, end);
        if (workbench.link.USB_bulk_write(image + address, int(block)) != int(block))
            return FailedAt(workbench, Msg::WriteFailedAt, address);
        host.setProgress(address);
        host.pumpEvents();
        address += block;
    }
    return Outcome::success();
}

Outcome WriteChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span)
{
    host.setStateText(MessageCatalogue::text(Msg::Writing, workbench.languageIndex));
    BufferSet& buffers = workbench.buffers;
    RoundDataLengthToPages(buffers, chip);

    host.showProgress(span.end);
    const uint8_t* image = buffers.flash(uint32_t(BufferStreamEnd(chip)));
    if (Outcome written = WriteBlocks(workbench, host, chip, span, image); !written.ok())
        return written;
    if (const uint32_t settle = BehaviourOfClass(chip.chipClass).writeSettleMs; settle != 0)
        host.sleepMs(settle);
    host.hideProgress();
    return Outcome::success();
}
