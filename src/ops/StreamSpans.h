#pragma once

#include <cstdint>
#include <optional>

#include "core/MessageCatalogue.h"
#include "ops/BlockRoutines.h"

class BufferSet;
struct ChipRecord;

// The span a Write or Verify streams, or the reason it is refused before any
// block is sent: a range with a negative address or reaching past the chip,
// or a chip larger than the FLASH buffer.
struct SpanChoice {
    StreamSpan span;
    std::optional<Msg> refusal;
};

// Write: without the range, the data length rounded up to whole pages.
SpanChoice WriteSpan(const BufferSet& buffers, const ChipRecord& chip);
// Verify: without the range, the data length as it stands.
SpanChoice VerifySpan(const BufferSet& buffers, const ChipRecord& chip);

// The data length rounded up to a whole number of pages; a length that is not
// positive stays as it is.
int32_t PageRoundedLength(int32_t dataLength, uint16_t flashPage);

// A Write leaves the chip holding whole pages, so a later Verify covers what
// was written: without the range, the data length is rounded up to pages. The
// buffer is written only when that changes it, so programmers sharing a buffer
// that a station rounded before its run only read it.
void RoundDataLengthToPages(BufferSet& buffers, const ChipRecord& chip);

// Bytes moved per data transfer: the page, but never less than 64.
uint32_t BlockSize(const ChipRecord& chip);
