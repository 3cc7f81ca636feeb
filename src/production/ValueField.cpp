#include "production/ValueField.h"

#include <array>
#include <cstdio>
#include <limits>
#include <utility>

#include "production/MacAddress.h"
#include "production/SerialRule.h"

namespace {

constexpr std::array<std::pair<ValueForm, const char*>, 4> FormNames = {{
    {ValueForm::Hex, "hex"},
    {ValueForm::Dec, "dec"},
    {ValueForm::Ascii, "ascii"},
    {ValueForm::Bytes, "bytes"},
}};

std::string hexText(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

bool addressOf(const std::string& text, uint32_t& address)
{
    uint64_t number = 0;
    if (!ParseRuleNumber(text, 16, number) || number > std::numeric_limits<uint32_t>::max())
        return false;
    address = static_cast<uint32_t>(number);
    return true;
}

}  // namespace

std::string ValueField::describe() const
{
    switch (kind) {
    case ValueKind::List:
        return path + ":" + hexText(address) + ":" + ValueFormName(form);
    case ValueKind::Mac:
        return hexText(address) + ":" + MacAddress::text(first) + ":" + MacAddress::text(last);
    case ValueKind::Files:
        return path + ":" + hexText(address);
    }
    return {};
}

std::string ValueField::name() const
{
    switch (kind) {
    case ValueKind::List:
        return path + "@" + hexText(address);
    case ValueKind::Mac:
        return MacAddress::text(first) + ".." + MacAddress::text(last) + "@" + hexText(address);
    case ValueKind::Files:
        return path + "/@" + hexText(address);
    }
    return {};
}

const char* ValueFormName(ValueForm form)
{
    for (const auto& [known, name] : FormNames) {
        if (known == form)
            return name;
    }
    return "bytes";
}

std::optional<ValueForm> ValueFormNamed(const std::string& name)
{
    for (const auto& [form, known] : FormNames) {
        if (name == known)
            return form;
    }
    return std::nullopt;
}

std::optional<ValueField> ParseListField(const std::string& text, std::string& error)
{
    const size_t formAt = text.rfind(':');
    const size_t addressAt = formAt == std::string::npos || formAt == 0 ? std::string::npos
                                                                         : text.rfind(':', formAt - 1);
    if (addressAt == std::string::npos || addressAt == 0) {
        error = "a value list reads FILE:ADDRESS:FORM, not \"" + text + "\"";
        return std::nullopt;
    }
    ValueField field;
    field.kind = ValueKind::List;
    field.path = text.substr(0, addressAt);
    if (!addressOf(text.substr(addressAt + 1, formAt - addressAt - 1), field.address)) {
        error = "the value list's address in \"" + text + "\" is not a hexadecimal address";
        return std::nullopt;
    }
    const std::optional<ValueForm> form = ValueFormNamed(text.substr(formAt + 1));
    if (!form) {
        error = "the value list's form \"" + text.substr(formAt + 1) + "\" is none of hex, dec, ascii, bytes";
        return std::nullopt;
    }
    field.form = *form;
    return field;
}

// ADDRESS, then two addresses of six colon-separated bytes each.
std::optional<ValueField> ParseMacField(const std::string& text, std::string& error)
{
    error = "a MAC address range reads ADDRESS:FIRST:LAST, as 0x100:02:00:00:00:00:01:02:00:00:00:00:FF, not \"" +
            text + "\"";
    const size_t addressEnd = text.find(':');
    constexpr size_t MacText = 17;
    if (addressEnd == std::string::npos || text.size() != addressEnd + 2 + 2 * MacText ||
        text[addressEnd + 1 + MacText] != ':')
        return std::nullopt;
    ValueField field;
    field.kind = ValueKind::Mac;
    const std::optional<uint64_t> first = MacAddress::parse(text.substr(addressEnd + 1, MacText));
    const std::optional<uint64_t> last = MacAddress::parse(text.substr(addressEnd + 2 + MacText));
    if (!addressOf(text.substr(0, addressEnd), field.address) || !first || !last)
        return std::nullopt;
    if (*first > *last) {
        error = "the MAC address range " + MacAddress::text(*first) + " to " + MacAddress::text(*last) +
                " ends before it starts";
        return std::nullopt;
    }
    field.first = *first;
    field.last = *last;
    error.clear();
    return field;
}

std::optional<ValueField> ParseFilesField(const std::string& text, std::string& error)
{
    const size_t addressAt = text.rfind(':');
    ValueField field;
    field.kind = ValueKind::Files;
    if (addressAt == std::string::npos || addressAt == 0 || !addressOf(text.substr(addressAt + 1), field.address)) {
        error = "per-device files read DIR:ADDRESS with a hexadecimal address, not \"" + text + "\"";
        return std::nullopt;
    }
    field.path = text.substr(0, addressAt);
    return field;
}
