#pragma once

#include <cstdint>

#include "chips/ChipRecord.h"
#include "core/MessageCatalogue.h"
#include "core/OperationHost.h"
#include "core/Outcome.h"
#include "ops/BlockRoutines.h"
#include "ops/BlockStream.h"
#include "ops/StreamSpans.h"

struct Workbench;

// What sets one stream apart from another in the loop they share.
struct StreamShape {
    StreamSpan span;
    // No block passes it: the chip's end for a read, the span's end (inside
    // the chip and the FLASH buffer) for a write or a verify.
    uint64_t end = 0;
    // 1 where the programmer answers the start address (the streams it sends).
    int replyFlag = 0;
    // "<operation> failed at address %1.", for a failed or short transfer.
    Msg failure = Msg::ReadFailedAt;
};

// Everything arrived is fine: the streams that only move data.
struct AcceptEveryBlock {
    Outcome operator()(uint32_t, uint32_t) const { return Outcome::success(); }
};

// The stream's start, then block after block over the span: `transfer(address,
// block)` moves one block and says whether all of it moved, `inspect(address,
// block)` then looks at it and may end the stream with its own failure. After
// each block the progress bars move to its address and the window is serviced.
// The address is 64-bit, so that a chip near 4 GiB cannot wrap it round to 0.
template <typename Transfer, typename Inspect = AcceptEveryBlock>
Outcome StreamBlocks(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamShape& shape,
                     Transfer&& transfer, Inspect&& inspect = {})
{
    if (!StartStream(workbench, chip, shape.span.start, shape.replyFlag))
        return FailedAt(workbench, shape.failure, shape.span.start);
    for (uint64_t address = shape.span.start; address < shape.span.end;) {
        const uint32_t block = BlockAt(chip, address, shape.end);
        if (!transfer(uint32_t(address), block))
            return FailedAt(workbench, shape.failure, uint32_t(address));
        if (Outcome inspected = inspect(uint32_t(address), block); !inspected.ok())
            return inspected;
        host.setProgress(uint32_t(address));
        host.pumpEvents();
        address += block;
    }
    return Outcome::success();
}
