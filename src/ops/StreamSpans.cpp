#include "ops/StreamSpans.h"

#include <algorithm>
#include <limits>

#include "buffers/BufferSet.h"
#include "buffers/RangeSpan.h"
#include "chips/ChipRecord.h"

namespace {

constexpr uint32_t MinimumBlock = 64;

SpanChoice refused(Msg message)
{
    return {{}, message};
}

SpanChoice rangeSpan(const AddressRange& range, const ChipRecord& chip)
{
    if (range.start < 0 || range.end < 0)
        return refused(Msg::RangeOutsideChip);
    const RangeSpan span = ComputeRangeSpan(range.start, range.end, chip.flashPage);
    // Start above end, or a one-byte range on a page boundary: an operation
    // over it would do nothing and still report itself complete.
    if (span.first >= span.limit)
        return refused(Msg::RangeCoversNoPage);
    // A chip whose size is no whole number of pages ends inside its last page;
    // a range up to that end is inside the chip all the same.
    const RangeSpan inside{span.first, range.end <= int64_t{chip.flashSize}
                                           ? std::min<int64_t>(span.limit, chip.flashSize)
                                           : span.limit};
    if (!SpanInsideChip(inside, chip.flashSize))
        return refused(Msg::RangeOutsideChip);
    return {{uint32_t(inside.first), uint32_t(inside.limit)}, std::nullopt};
}

// Without the range: from 0 up to the length, at most the chip. A negative
// length reads as a huge unsigned one and so covers the whole chip.
SpanChoice lengthSpan(int32_t length, const ChipRecord& chip)
{
    const uint32_t end = std::min(chip.flashSize, static_cast<uint32_t>(length));
    if (end > BufferSet::FlashCapacity)
        return refused(Msg::ChipOutsideBuffer);
    return {{0, end}, std::nullopt};
}

}  // namespace

uint32_t BlockSize(const ChipRecord& chip)
{
    return std::max<uint32_t>(chip.flashPage, MinimumBlock);
}

uint32_t BlockAt(const ChipRecord& chip, uint64_t address, uint64_t end)
{
    const uint64_t left = address < end ? end - address : 0;
    return uint32_t(std::min<uint64_t>(BlockSize(chip), left));
}

uint64_t BufferStreamEnd(const ChipRecord& chip)
{
    return std::min(chip.flashSize, BufferSet::FlashCapacity);
}

uint64_t SpanStreamEnd(const ChipRecord& chip, const StreamSpan& span)
{
    return std::min<uint64_t>(span.end, BufferStreamEnd(chip));
}

int32_t PageRoundedLength(int32_t dataLength, uint16_t flashPage)
{
    if (dataLength <= 0 || flashPage == 0 || dataLength % flashPage == 0)
        return dataLength;
    const int64_t rounded = (int64_t{dataLength} / flashPage + 1) * flashPage;
    return static_cast<int32_t>(std::min<int64_t>(rounded, std::numeric_limits<int32_t>::max()));
}

void RoundDataLengthToPages(BufferSet& buffers, const ChipRecord& chip)
{
    if (buffers.range.enabled)
        return;
    const int32_t rounded = PageRoundedLength(buffers.dataLength, chip.flashPage);
    if (rounded != buffers.dataLength)
        buffers.dataLength = rounded;
}

SpanChoice WriteSpan(const BufferSet& buffers, const ChipRecord& chip)
{
    if (buffers.range.enabled)
        return rangeSpan(buffers.range, chip);
    return lengthSpan(PageRoundedLength(buffers.dataLength, chip.flashPage), chip);
}

SpanChoice VerifySpan(const BufferSet& buffers, const ChipRecord& chip)
{
    if (buffers.range.enabled)
        return rangeSpan(buffers.range, chip);
    return lengthSpan(buffers.dataLength, chip);
}
