#pragma once

#include <cctype>
#include <cstdio>
#include <string>

// Names for the cases of parameterised tests, so that a failing case says what
// it was ("SpeedValue/Dollar10") instead of its bytes. A test name may hold
// letters, digits and underscores only.

// A value text: letters and digits stay, every other character is spelt out,
// so that "-7" and "+7" stay apart.
inline std::string CaseName(const std::string& text)
{
    if (text.empty())
        return "Empty";
    std::string name;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte)) {
            name += c;
            continue;
        }
        switch (c) {
        case ' ': name += "Blank"; break;
        case '-': name += "Minus"; break;
        case '+': name += "Plus"; break;
        case '$': name += "Dollar"; break;
        default: {
            char code[8];
            std::snprintf(code, sizeof code, "Char%02X", byte);
            name += code;
        }
        }
    }
    return name;
}

// A message: its words capitalised and run together, everything else dropped.
inline std::string WordsCaseName(const std::string& text)
{
    std::string name;
    bool wordStart = true;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (!std::isalnum(byte)) {
            wordStart = true;
            continue;
        }
        name += wordStart ? static_cast<char>(std::toupper(byte)) : c;
        wordStart = false;
    }
    return name.empty() ? "Empty" : name;
}

// The window's three languages by index; any other index by its number.
inline std::string LanguageCaseName(int language)
{
    switch (language) {
    case 0: return "SimplifiedChinese";
    case 1: return "TraditionalChinese";
    case 2: return "English";
    default: return "Language" + std::to_string(language);
    }
}
