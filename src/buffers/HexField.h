#pragma once

#include <array>
#include <cstdint>

// Hexadecimal digits of the record formats. Readers and writers run these per
// byte of 64 MiB images, so both directions are table lookups.

namespace hexfield {

constexpr uint8_t NotADigit = 0x80;

constexpr std::array<uint8_t, 256> makeDigitValues()
{
    std::array<uint8_t, 256> values{};
    for (auto& value : values)
        value = NotADigit;
    for (int c = '0'; c <= '9'; ++c)
        values[c] = static_cast<uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) {
        values[c] = static_cast<uint8_t>(c - 'A' + 10);
        values[c + ('a' - 'A')] = static_cast<uint8_t>(c - 'A' + 10);
    }
    return values;
}

inline constexpr std::array<uint8_t, 256> DigitValues = makeDigitValues();
inline constexpr char UpperDigits[] = "0123456789ABCDEF";

// Two digits to a byte; false when either is not a hexadecimal digit.
inline bool parseByte(const char* text, uint32_t& value)
{
    const uint8_t high = DigitValues[static_cast<uint8_t>(text[0])];
    const uint8_t low = DigitValues[static_cast<uint8_t>(text[1])];
    value = static_cast<uint32_t>(high << 4 | low);
    return ((high | low) & NotADigit) == 0;
}

inline char* formatByte(char* out, uint8_t value)
{
    out[0] = UpperDigits[value >> 4];
    out[1] = UpperDigits[value & 0xF];
    return out + 2;
}

}  // namespace hexfield

// Reads `digits` hexadecimal characters (either case) as an unsigned number.
// Every digit is checked; false means a character was not a hexadecimal digit.
inline bool ParseHexField(const char* text, int digits, uint32_t& value)
{
    uint32_t result = 0;
    for (int i = 0; i < digits; ++i) {
        const uint8_t digit = hexfield::DigitValues[static_cast<uint8_t>(text[i])];
        if (digit & hexfield::NotADigit)
            return false;
        result = result << 4 | digit;
    }
    value = result;
    return true;
}

// Writes the lowest `digits` hexadecimal digits of value in upper case, leading
// zeros kept; returns the position after them.
inline char* FormatHexField(char* out, uint32_t value, int digits)
{
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = hexfield::UpperDigits[value & 0xF];
        value >>= 4;
    }
    return out + digits;
}
