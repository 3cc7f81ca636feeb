#pragma once

#include <array>
#include <cstdint>

// Hexadecimal digits, either case, for every parser of hexadecimal text: the
// chip database's cells, the record files, the search and address fields. The
// record readers look up each character of 64 MiB images, so it is a table.

inline constexpr uint8_t NotAHexDigit = 0x80;

// Each character's value as a digit, or NotAHexDigit.
inline constexpr std::array<uint8_t, 256> HexDigitValues = [] {
    std::array<uint8_t, 256> values{};
    values.fill(NotAHexDigit);
    for (int c = '0'; c <= '9'; ++c)
        values[c] = static_cast<uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) {
        values[c] = static_cast<uint8_t>(c - 'A' + 10);
        values[c + ('a' - 'A')] = values[c];
    }
    return values;
}();

// The digit's value, 0 to 15, or -1 for a character that is none.
inline int HexDigitValue(char c)
{
    const uint8_t value = HexDigitValues[static_cast<uint8_t>(c)];
    return value & NotAHexDigit ? -1 : value;
}
