#pragma once

#include <cstdint>
#include <string>

// The hexadecimal text fields of the main window and the fill dialog.

// Conversion of a field's text: "0x" is put in front and one to eight
// hexadecimal digits give a 32-bit value (eight digits from 80000000 up are
// negative). On failure `error` holds the message with the "0x"-prefixed text.
struct HexConversion {
    int32_t value = 0;
    std::string error;
    bool ok() const { return error.empty(); }
};
HexConversion ConvertHexText(const std::string& text);

// An address field's change: an empty text keeps the stored value; otherwise
// the converted value replaces it. Returns the message to show, empty if none.
std::string UpdateFromHexText(const std::string& text, int32_t& stored);

// The key filter of the hexadecimal fields: digits, A-F, a-f and backspace.
bool IsHexFieldKey(char32_t key);

// A value as the fields show it: upper-case hexadecimal without leading zeros.
std::string HexFieldText(uint32_t value);
