#include "production/ValueList.h"

#include <algorithm>
#include <unordered_map>

#include "chips/HexDigits.h"

namespace {

bool blank(const std::string& line)
{
    return line.find_first_not_of(" \t") == std::string::npos;
}

std::string trimmed(const std::string& line)
{
    const size_t start = line.find_first_not_of(" \t");
    return line.substr(start, line.find_last_not_of(" \t") - start + 1);
}

// Digits, upper-cased where hexadecimal, or nothing.
std::optional<std::string> digitsOf(const std::string& line, bool hex)
{
    std::string digits = trimmed(line);
    for (char& c : digits) {
        if (hex ? HexDigitValue(c) < 0 : (c < '0' || c > '9'))
            return std::nullopt;
        if (hex && c >= 'a')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return digits;
}

// Pairs of hexadecimal digits; spaces and tabs only between bytes.
std::optional<std::vector<uint8_t>> bytesOf(const std::string& line)
{
    std::vector<uint8_t> bytes;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        const int high = HexDigitValue(line[i]);
        const int low = i + 1 < line.size() ? HexDigitValue(line[i + 1]) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
        i += 2;
    }
    return bytes;
}

bool printable(const std::string& line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

const char* formProblem(ValueForm form)
{
    switch (form) {
    case ValueForm::Hex:
        return "is no hexadecimal number";
    case ValueForm::Dec:
        return "is no decimal number";
    case ValueForm::Ascii:
        return "holds a character other than printable ASCII";
    case ValueForm::Bytes:
        return "is no bytes in hexadecimal";
    }
    return "";
}

}  // namespace

std::optional<ValueList> ValueList::parse(const std::string& text, ValueForm form, std::string& error)
{
    ValueList list;
    // The line each value came from, to name both of a pair that stands twice.
    std::unordered_map<std::string, size_t> seen;
    size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    for (size_t number = 1; start < text.size(); ++number) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r'))
            line.pop_back();
        if (blank(line))
            continue;
        const std::string where = "line " + std::to_string(number);
        if (line.size() > 3 * LongestValue) {
            error = where + " is longer than a value may be";
            return std::nullopt;
        }
        std::optional<std::vector<uint8_t>> bytes;
        std::string shown;
        if (form == ValueForm::Hex || form == ValueForm::Dec) {
            if (const std::optional<std::string> digits = digitsOf(line, form == ValueForm::Hex)) {
                bytes.emplace(digits->begin(), digits->end());
                shown = *digits;
            }
        } else if (form == ValueForm::Ascii) {
            if (printable(line)) {
                bytes.emplace(line.begin(), line.end());
                shown = line;
            }
        } else if ((bytes = bytesOf(line))) {
            shown = HexBytesText(bytes->data(), bytes->size());
        }
        if (!bytes) {
            error = where + " " + formProblem(form);
            return std::nullopt;
        }
        if (bytes->size() > LongestValue) {
            error = where + " is longer than " + std::to_string(LongestValue) + " bytes";
            return std::nullopt;
        }
        const auto [earlier, added] = seen.emplace(std::string(bytes->begin(), bytes->end()), number);
        if (!added) {
            error = where + " repeats the value of line " + std::to_string(earlier->second) +
                    ": two chips would take one value";
            return std::nullopt;
        }
        list.values.push_back(std::move(*bytes));
        list.texts.push_back(std::move(shown));
    }
    if (list.values.empty()) {
        error = "the list holds no value";
        return std::nullopt;
    }
    return list;
}

size_t ValueList::widest() const
{
    size_t widest = 0;
    for (const std::vector<uint8_t>& value : values)
        widest = std::max(widest, value.size());
    return widest;
}
