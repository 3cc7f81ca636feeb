#pragma once

#include <cstdint>

#include "core/Outcome.h"

struct ChipRecord;
struct Workbench;
class OperationHost;

// The chip routines of one device session. Each runs with the session open and
// the chip's parameters sent, sets the state panel to its own text, drives the
// progress bars and services the window once per block. Every transfer is
// checked: a failed or short one ends the routine with a message naming the
// operation and the chip address. Page sizes must lie in 1..LargestBlock (the
// frame refuses other records), so one block always fits the receive areas.

// The half-open chip address span [start, end) of a data stream.
struct StreamSpan {
    uint32_t start = 0;
    uint32_t end = 0;
};

// Whole chip into the FLASH buffer; then the data length up to the last byte
// that is not 0xFF, made even, and the view reloaded.
Outcome ReadChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip);
// Whole chip, every byte must read 0xFF.
Outcome BlankCheckChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip);
// The family's own erase, always the whole chip: for a family without an erase
// command whose writes replace bytes, 0xFF written over it and read back.
Outcome EraseChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip);
// The FLASH buffer over `span` into the chip. Without the range the data
// length is first rounded up to whole pages and stored.
Outcome WriteChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span);
// The chip over `span` against the FLASH buffer; the first difference is
// reported as "Flash check error address:" with its address.
Outcome VerifyChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span);

// The stream loops under the routines above, for Belcor's own operations:
// `image` is indexed by chip address, the progress bars move to each block's
// address and the window is serviced once per block; the caller sets the
// state text and shows the progress bars.
// Reads the chip over `span` into `image` (whole blocks: the last may pass the span).
Outcome ReadBlocks(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span,
                   uint8_t* image);
// Programs `image` over `span`, in whole blocks but the last, which ends with the span.
Outcome WriteBlocks(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span,
                    const uint8_t* image);
// Compares the chip over `span` with `image`, in blocks as written; a difference is reported as
// "Flash check error address:" with its address.
Outcome VerifyBlocks(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span,
                     const uint8_t* image);
