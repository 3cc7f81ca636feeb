#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

// An unsigned decimal number that is the whole of `text`: no sign, no space,
// nothing after it; nothing for an empty text or one past 64 bits.
inline std::optional<uint64_t> WholeNumber(std::string_view text)
{
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}
