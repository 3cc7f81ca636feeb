#include "buffers/RangeSpan.h"

#include <algorithm>

#include "buffers/BufferSet.h"

namespace {

int64_t roundDown(int64_t value, int64_t page)
{
    const int64_t rest = value % page;
    return rest < 0 ? value - rest - page : value - rest;
}

}  // namespace

RangeSpan ComputeRangeSpan(int32_t rangeStart, int32_t rangeEnd, uint32_t pageSize)
{
    // A record without a page size must not divide by zero; byte pages then.
    const int64_t page = pageSize == 0 ? 1 : pageSize;
    RangeSpan span;
    span.first = roundDown(rangeStart, page);
    const int64_t end = roundDown(rangeEnd, page);
    span.limit = end == rangeEnd ? end : end + page;
    return span;
}

bool SpanInsideChip(const RangeSpan& span, uint32_t flashSize)
{
    const int64_t top = std::min<int64_t>(flashSize, BufferSet::FlashCapacity);
    return 0 <= span.first && span.first <= span.limit && span.limit <= top;
}
