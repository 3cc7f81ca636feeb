#pragma once

#include <cstdint>
#include <optional>

#include "core/MessageCatalogue.h"
#include "ops/BlockRoutines.h"

class BufferSet;
struct ChipRecord;

// The span a Write or Verify streams, or the reason it is refused before any
// block is sent: a range with a negative address, reaching past the chip or
// covering no page, or a chip larger than the FLASH buffer.
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

// The largest page the routines take, and so the largest block: their
// receive areas hold one. The frame refuses chips with larger pages.
inline constexpr uint32_t LargestBlock = 256;

// Bytes moved per data transfer: the page, but never less than 64.
uint32_t BlockSize(const ChipRecord& chip);

// The bytes of the block that starts at `address`: a whole block, or what is
// left before `end` when that is less, so that no transfer reaches past the
// chip's end or, for the streams to and from the buffer, past the buffer's.
uint32_t BlockAt(const ChipRecord& chip, uint64_t address, uint64_t end);

// Where Write and Verify blocks must stop: the chip's end, or the FLASH
// buffer's when the chip is larger.
uint64_t BufferStreamEnd(const ChipRecord& chip);

// Where the blocks of a stream over `span` to or from the buffer stop: the
// span's end, so that a block larger than the chip's pages writes or compares
// nothing past the range; never past BufferStreamEnd.
uint64_t SpanStreamEnd(const ChipRecord& chip, const StreamSpan& span);
