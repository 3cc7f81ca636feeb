#include "production/MacAddress.h"

#include <cstdio>

#include "chips/HexDigits.h"

std::optional<uint64_t> MacAddress::parse(const std::string& text)
{
    if (text.size() != 17)
        return std::nullopt;
    const char separator = text[2];
    if (separator != ':' && separator != '-')
        return std::nullopt;
    uint64_t address = 0;
    for (size_t i = 0; i < text.size(); i += 3) {
        if (i + 2 < text.size() && text[i + 2] != separator)
            return std::nullopt;
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        address = address << 8 | static_cast<uint64_t>(high << 4 | low);
    }
    return address;
}

std::string MacAddress::text(uint64_t address)
{
    char written[18];
    std::snprintf(written, sizeof written, "%02X:%02X:%02X:%02X:%02X:%02X", unsigned(address >> 40 & 0xFF),
                  unsigned(address >> 32 & 0xFF), unsigned(address >> 24 & 0xFF), unsigned(address >> 16 & 0xFF),
                  unsigned(address >> 8 & 0xFF), unsigned(address & 0xFF));
    return written;
}

std::vector<uint8_t> MacAddress::bytes(uint64_t address)
{
    std::vector<uint8_t> written(Width);
    for (uint32_t i = 0; i < Width; ++i)
        written[Width - 1 - i] = static_cast<uint8_t>(address >> (8 * i));
    return written;
}
