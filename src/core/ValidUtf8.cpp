#include "core/ValidUtf8.h"

#include <cstdint>

namespace {

// The length of the well-formed sequence at `at`, or 0 when there is none:
// no overlong forms, no surrogates, nothing above U+10FFFF.
size_t sequenceAt(std::string_view text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[at + i]); };
    const uint8_t lead = byte(0);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

}  // namespace

std::string ValidUtf8(std::string_view text)
{
    std::string valid;
    valid.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        if (const size_t length = sequenceAt(text, at)) {
            valid.append(text.substr(at, length));
            at += length;
        } else {
            const auto latin1 = static_cast<uint8_t>(text[at++]);
            valid += static_cast<char>(0xC0 | (latin1 >> 6));
            valid += static_cast<char>(0x80 | (latin1 & 0x3F));
        }
    }
    return valid;
}
