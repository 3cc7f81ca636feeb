#include "buffers/BufferSet.h"
#include "chips/ChipRecord.h"
#include "link/TUsbBulk.h"
#include "ops/BlockRoutines.h"
#include "ops/BlockStream.h"
#include "ops/FamilyBehaviour.h"
#include "core/OperationHost.h"
#include "ops/StreamSpans.h"
#include "core/Workbench.h"

Outcome WriteChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span)
{
    host.setStateText(MessageCatalogue::text(Msg::Writing, workbench.languageIndex));
    BufferSet& buffers = workbench.buffers;
    RoundDataLengthToPages(buffers, chip);

    host.showProgress(span.end);
    if (!StartStream(workbench, chip, span.start, 0))
        return FailedAt(workbench, Msg::WriteFailedAt, span.start);

    // The last block may pass the span's end; it carries the buffer's bytes from there.
    const uint32_t block = BlockSize(chip);
    const uint8_t* flash = buffers.flash();
    for (uint32_t address = span.start; address < span.end; address += block) {
        if (workbench.link.USB_bulk_write(flash + address, int(block)) != int(block))
            return FailedAt(workbench, Msg::WriteFailedAt, address);
        host.setProgress(address);
        host.pumpEvents();
    }
    if (const uint32_t settle = BehaviourOfClass(chip.chipClass).writeSettleMs; settle != 0)
        host.sleepMs(settle);
    host.hideProgress();
    return Outcome::success();
}
