#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Hexadecimal digits, either case, for every parser of hexadecimal text: the
// chip database's cells, the record files, the search and address fields. The
// record readers look up each character of 64 MiB images, so it is a table.
// Bytes written out as hexadecimal text take their digits here too.

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

// `count` bytes as pairs of hexadecimal digits, in upper or lower case.
inline std::string HexBytesText(const uint8_t* bytes, size_t count, bool upperCase = true)
{
    const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}
