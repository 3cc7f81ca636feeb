#include "production/SerialRule.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <limits>
#include <sstream>

namespace {

constexpr std::array<std::pair<SerialForm, const char*>, 5> FormNames = {{
    {SerialForm::LittleEndian, "le"},
    {SerialForm::BigEndian, "be"},
    {SerialForm::Bcd, "bcd"},
    {SerialForm::Decimal, "dec"},
    {SerialForm::Hexadecimal, "hex"},
}};

bool isText(SerialForm form)
{
    return form == SerialForm::Decimal || form == SerialForm::Hexadecimal;
}

// base^digits - 1, saturated at the 64-bit maximum.
uint64_t largestWithDigits(uint64_t base, uint32_t digits)
{
    uint64_t limit = 1;
    for (uint32_t i = 0; i < digits; ++i) {
        if (limit > std::numeric_limits<uint64_t>::max() / base)
            return std::numeric_limits<uint64_t>::max();
        limit *= base;
    }
    return limit - 1;
}

uint32_t digitCount(const SerialRule& rule)
{
    return rule.prefix.size() < rule.width ? rule.width - static_cast<uint32_t>(rule.prefix.size()) : 0;
}

std::string digitsOf(const SerialRule& rule, uint64_t value)
{
    const int digits = static_cast<int>(digitCount(rule));
    char text[32];
    std::snprintf(text, sizeof text, rule.form == SerialForm::Decimal ? "%0*llu" : "%0*llX", digits,
                  static_cast<unsigned long long>(value));
    return text;
}


}  // namespace

bool ParseRuleNumber(std::string text, int base, uint64_t& value)
{
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.erase(0, 2);
        base = 16;
    }
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

uint64_t SerialRule::maximum() const
{
    switch (form) {
    case SerialForm::LittleEndian:
    case SerialForm::BigEndian:
        return width >= 8 ? std::numeric_limits<uint64_t>::max() : (uint64_t(1) << (8 * width)) - 1;
    case SerialForm::Bcd:
        return largestWithDigits(10, 2 * width);
    case SerialForm::Decimal:
        return largestWithDigits(10, digitCount(*this));
    case SerialForm::Hexadecimal:
        return largestWithDigits(16, digitCount(*this));
    }
    return 0;
}

std::optional<std::vector<uint8_t>> SerialRule::encode(uint64_t value) const
{
    if (!problem().empty() || value > maximum())
        return std::nullopt;
    std::vector<uint8_t> bytes(width);
    switch (form) {
    case SerialForm::LittleEndian:
        for (uint32_t i = 0; i < width; ++i)
            bytes[i] = static_cast<uint8_t>(value >> (8 * i));
        break;
    case SerialForm::BigEndian:
        for (uint32_t i = 0; i < width; ++i)
            bytes[width - 1 - i] = static_cast<uint8_t>(value >> (8 * i));
        break;
    case SerialForm::Bcd:
        for (uint32_t i = 0; i < width; ++i) {
            const uint64_t pair = value % 100;
            value /= 100;
            bytes[width - 1 - i] = static_cast<uint8_t>((pair / 10) << 4 | pair % 10);
        }
        break;
    case SerialForm::Decimal:
    case SerialForm::Hexadecimal: {
        const std::string written = prefix + digitsOf(*this, value);
        bytes.assign(written.begin(), written.end());
        break;
    }
    }
    return bytes;
}

std::optional<uint64_t> SerialRule::after(uint64_t value) const
{
    if (value > maximum() || step > maximum() - value)
        return std::nullopt;
    return value + step;
}

std::string SerialRule::text(uint64_t value) const
{
    return isText(form) ? prefix + digitsOf(*this, value) : std::to_string(value);
}

std::string SerialRule::problem() const
{
    if (width < 1 || width > 8)
        return "the serial number's width must be 1 to 8 bytes, not " + std::to_string(width);
    if (step == 0)
        return "the serial number's step must be at least 1";
    if (!prefix.empty() && !isText(form))
        return "a serial number prefix needs the form dec or hex";
    if (isText(form) && digitCount(*this) == 0)
        return "the serial number's prefix leaves no room for a digit in " + std::to_string(width) + " bytes";
    if (first > maximum())
        return "the first serial number " + std::to_string(first) + " does not fit in " + std::to_string(width) +
               " bytes as " + SerialFormName(form);
    // Such a step could never give a second value.
    if (step > maximum())
        return "the serial number's step " + std::to_string(step) + " is larger than the largest value " +
               std::to_string(maximum()) + " that " + std::to_string(width) + " bytes hold as " + SerialFormName(form);
    return {};
}

std::string SerialRule::describe() const
{
    char address_[16];
    std::snprintf(address_, sizeof address_, "0x%X", address);
    std::ostringstream text;
    text << address_ << ':' << width << ':' << SerialFormName(form) << ':' << first << ':' << step;
    return text.str();
}

const char* SerialFormName(SerialForm form)
{
    for (const auto& [known, name] : FormNames) {
        if (known == form)
            return name;
    }
    return "le";
}

std::optional<SerialForm> SerialFormNamed(const std::string& name)
{
    for (const auto& [form, known] : FormNames) {
        if (name == known)
            return form;
    }
    return std::nullopt;
}

std::optional<SerialRule> ParseSerialRule(const std::string& text, std::string& error)
{
    std::vector<std::string> fields;
    std::stringstream stream(text);
    for (std::string field; std::getline(stream, field, ':');)
        fields.push_back(field);
    if (fields.size() < 4 || fields.size() > 5) {
        error = "a serial number rule reads ADDRESS:WIDTH:FORM:FIRST[:STEP], not \"" + text + "\"";
        return std::nullopt;
    }
    SerialRule rule;
    uint64_t number = 0;
    if (!ParseRuleNumber(fields[0], 16, number) || number > std::numeric_limits<uint32_t>::max()) {
        error = "the serial number's address \"" + fields[0] + "\" is not a hexadecimal address";
        return std::nullopt;
    }
    rule.address = static_cast<uint32_t>(number);
    if (!ParseRuleNumber(fields[1], 10, number) || number > 8) {
        error = "the serial number's width \"" + fields[1] + "\" must be 1 to 8 bytes";
        return std::nullopt;
    }
    rule.width = static_cast<uint32_t>(number);
    const std::optional<SerialForm> form = SerialFormNamed(fields[2]);
    if (!form) {
        error = "the serial number's form \"" + fields[2] + "\" is none of le, be, bcd, dec, hex";
        return std::nullopt;
    }
    rule.form = *form;
    if (!ParseRuleNumber(fields[3], 10, rule.first)) {
        error = "the first serial number \"" + fields[3] + "\" is not a number";
        return std::nullopt;
    }
    if (fields.size() == 5 && !ParseRuleNumber(fields[4], 10, rule.step)) {
        error = "the serial number step \"" + fields[4] + "\" is not a number";
        return std::nullopt;
    }
    error = rule.problem();
    if (!error.empty())
        return std::nullopt;
    return rule;
}
