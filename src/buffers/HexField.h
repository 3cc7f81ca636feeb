#pragma once

#include <cstdint>

#include "chips/HexDigits.h"

// Hexadecimal digits of the record formats. Readers and writers run these per
// byte of 64 MiB images, so both directions are table lookups.

namespace hexfield {

inline constexpr char UpperDigits[] = "0123456789ABCDEF";

// Two digits to a byte; false when either is not a hexadecimal digit.
inline bool parseByte(const char* text, uint32_t& value)
{
    const uint8_t high = HexDigitValues[static_cast<uint8_t>(text[0])];
    const uint8_t low = HexDigitValues[static_cast<uint8_t>(text[1])];
    value = static_cast<uint32_t>(high << 4 | low);
    return ((high | low) & NotAHexDigit) == 0;
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
        const uint8_t digit = HexDigitValues[static_cast<uint8_t>(text[i])];
        if (digit & NotAHexDigit)
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
