#include "buffers/ByteSearch.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>

#include "chips/HexDigits.h"

namespace {

// Flash images are mostly erased (0xFF) or zeroed; a pattern byte other than
// those rarely occurs, so memchr for it skips most of the buffer at memory
// speed and only its few hits are compared. Nothing when every byte is such.
std::optional<size_t> anchorOf(std::span<const uint8_t> pattern)
{
    for (size_t i = pattern.size(); i-- > 0;) {
        if (pattern[i] != 0xFF && pattern[i] != 0x00)
            return i;
    }
    return std::nullopt;
}

}  // namespace

std::optional<size_t> FindForward(std::span<const uint8_t> data, std::span<const uint8_t> pattern, size_t from)
{
    if (pattern.empty() || from >= data.size() || data.size() - from < pattern.size())
        return std::nullopt;
    const std::optional<size_t> anchor = anchorOf(pattern);
    if (!anchor) {
        // glibc's memmem is a two-way search with vectorised scanning.
        const void* found = ::memmem(data.data() + from, data.size() - from, pattern.data(), pattern.size());
        if (found == nullptr)
            return std::nullopt;
        return static_cast<size_t>(static_cast<const uint8_t*>(found) - data.data());
    }
    const size_t lastStart = data.size() - pattern.size();
    for (size_t start = from; start <= lastStart;) {
        const uint8_t* scan = data.data() + start + *anchor;
        const auto* hit = static_cast<const uint8_t*>(::memchr(scan, pattern[*anchor], lastStart - start + 1));
        if (hit == nullptr)
            return std::nullopt;
        start = static_cast<size_t>(hit - data.data()) - *anchor;
        if (std::memcmp(data.data() + start, pattern.data(), pattern.size()) == 0)
            return start;
        ++start;
    }
    return std::nullopt;
}

std::optional<size_t> FindBackward(std::span<const uint8_t> data, std::span<const uint8_t> pattern, size_t from)
{
    if (pattern.empty() || pattern.size() > data.size())
        return std::nullopt;
    // A match starts before `from` and still lies inside the data.
    const size_t lastStart = std::min(from, data.size() - pattern.size() + 1);
    if (lastStart == 0)
        return std::nullopt;
    const size_t end = lastStart - 1 + pattern.size();
    if (pattern.size() == 1) {
        const void* found = ::memrchr(data.data(), pattern[0], end);
        if (found == nullptr)
            return std::nullopt;
        return static_cast<size_t>(static_cast<const uint8_t*>(found) - data.data());
    }
    // The mirror image of a forward search: the reversed pattern in the reversed data.
    const auto reversedBegin = std::make_reverse_iterator(data.begin() + static_cast<std::ptrdiff_t>(end));
    const auto reversedEnd = std::make_reverse_iterator(data.begin());
    const std::boyer_moore_horspool_searcher searcher(pattern.rbegin(), pattern.rend());
    const auto found = std::search(reversedBegin, reversedEnd, searcher);
    if (found == reversedEnd)
        return std::nullopt;
    return static_cast<size_t>(reversedEnd - found) - pattern.size();
}

std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string& text)
{
    std::vector<uint8_t> bytes;
    int high = -1;
    for (const char c : text) {
        if (c == ' ' || c == '\t') {
            if (high >= 0)
                return std::nullopt;
            continue;
        }
        const int value = HexDigitValue(c);
        if (value < 0)
            return std::nullopt;
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | value));
            high = -1;
        }
    }
    if (high >= 0 || bytes.empty())
        return std::nullopt;
    return bytes;
}
