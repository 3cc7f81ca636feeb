#include "buffers/BufferSet.h"
#include "chips/ChipRecord.h"
#include "link/TUsbBulk.h"
#include "ops/BlockRoutines.h"
#include "ops/StreamBlocks.h"
#include "ops/FamilyBehaviour.h"
#include "core/OperationHost.h"
#include "ops/StreamSpans.h"
#include "core/Workbench.h"

Outcome WriteBlocks(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span,
                    const uint8_t* image)
{
    // The last block ends with the span: the bytes after it, up to the next
    // 64-byte boundary, are outside the range and stay as the chip holds them.
    return StreamBlocks(workbench, host, chip, {span, SpanStreamEnd(chip, span), 0, Msg::WriteFailedAt},
                        [&](uint32_t address, uint32_t block) {
                            return workbench.link.USB_bulk_write(image + address, int(block)) == int(block);
                        });
}

Outcome WriteChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span)
{
    host.setState(Msg::Writing, MessageCatalogue::text(Msg::Writing, workbench.languageIndex));
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
