#pragma once

#include <cstdint>

// The chip addresses first <= a < limit that Write and Verify cover when the
// address range is on: the start rounded down and the end rounded up to whole
// pages. An end that already is a page multiple is itself outside the span.
struct RangeSpan {
    int64_t first = 0;
    int64_t limit = 0;
};

RangeSpan ComputeRangeSpan(int32_t rangeStart, int32_t rangeEnd, uint32_t pageSize);

// The typed range is not checked as it is typed: a start above the end, or
// addresses past the chip or negative, are caught here before any access.
// True when the span is in order and inside both the chip and the FLASH buffer.
bool SpanInsideChip(const RangeSpan& span, uint32_t flashSize);
