#include "buffers/CArrayText.h"

std::string CArrayText(const uint8_t* bytes, size_t count, const std::string& name)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text = "const unsigned char " + name + "[" + std::to_string(count) + "] = {\n";
    text.reserve(text.size() + count * 6 + count / 16 * 5 + 8);
    for (size_t i = 0; i < count; ++i) {
        if (i % 16 == 0)
            text += "    ";
        text += "0x";
        text += Digits[bytes[i] >> 4];
        text += Digits[bytes[i] & 0xF];
        if (i + 1 < count)
            text += (i % 16 == 15) ? ",\n" : ", ";
    }
    if (count > 0)
        text += '\n';
    text += "};\n";
    return text;
}
