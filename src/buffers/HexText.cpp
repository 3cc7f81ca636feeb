#include "buffers/HexText.h"

#include "buffers/HexField.h"

HexConversion ConvertHexText(const std::string& text)
{
    HexConversion conversion;
    uint32_t value = 0;
    const auto digits = static_cast<int>(text.size());
    if (digits < 1 || digits > 8 || !ParseHexField(text.data(), digits, value))
        conversion.error = "'0x" + text + "' is not a valid integer value";
    else
        conversion.value = static_cast<int32_t>(value);
    return conversion;
}

std::string UpdateFromHexText(const std::string& text, int32_t& stored)
{
    if (text.empty())
        return {};
    const HexConversion conversion = ConvertHexText(text);
    if (conversion.ok())
        stored = conversion.value;
    return conversion.error;
}

bool IsHexFieldKey(char32_t key)
{
    constexpr char32_t Backspace = 0x08;
    return key == Backspace || (key < 0x80 && HexDigitValue(static_cast<char>(key)) >= 0);
}

std::string HexFieldText(uint32_t value)
{
    char digits[8];
    FormatHexField(digits, value, 8);
    int first = 0;
    while (first < 7 && digits[first] == '0')
        ++first;
    return std::string(digits + first, digits + 8);
}
