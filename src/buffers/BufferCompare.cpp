#include "buffers/BufferCompare.h"

#include <algorithm>
#include <cstring>

namespace {

class RangeCollector {
public:
    RangeCollector(Comparison& result, size_t limit) : result_(result), limit_(limit) {}

    void add(size_t start, size_t length)
    {
        result_.differingBytes += length;
        if (open_ && openStart_ + openLength_ == start) {
            openLength_ += length;
            return;
        }
        flush();
        open_ = true;
        openStart_ = start;
        openLength_ = length;
    }
    void flush()
    {
        if (!open_)
            return;
        ++result_.rangeCount;
        if (result_.ranges.size() < limit_)
            result_.ranges.push_back({openStart_, openLength_});
        open_ = false;
    }

private:
    Comparison& result_;
    size_t limit_;
    bool open_ = false;
    size_t openStart_ = 0;
    size_t openLength_ = 0;
};

}  // namespace

Comparison CompareBlocks(std::span<const uint8_t> a, std::span<const uint8_t> b, size_t rangeLimit)
{
    constexpr size_t Stretch = 4096;
    Comparison result;
    RangeCollector ranges(result, rangeLimit);
    const size_t common = std::min(a.size(), b.size());
    for (size_t at = 0; at < common; at += Stretch) {
        const size_t n = std::min(Stretch, common - at);
        if (std::memcmp(a.data() + at, b.data() + at, n) == 0)
            continue;
        for (size_t i = at; i < at + n; ++i)
            if (a[i] != b[i])
                ranges.add(i, 1);
    }
    const size_t longer = std::max(a.size(), b.size());
    if (longer > common)
        ranges.add(common, longer - common);
    ranges.flush();
    return result;
}
