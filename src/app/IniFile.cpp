#include "app/IniFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "core/AtomicFile.h"

namespace {

// One physical line without its line ending, and the ending as found.
struct Line {
    std::string text;
    std::string ending;
};

std::vector<Line> splitLines(const std::string& content)
{
    std::vector<Line> lines;
    size_t begin = 0;
    while (begin < content.size()) {
        size_t end = content.find('\n', begin);
        if (end == std::string::npos) {
            lines.push_back({content.substr(begin), ""});
            break;
        }
        const bool crlf = end > begin && content[end - 1] == '\r';
        lines.push_back({content.substr(begin, end - begin - (crlf ? 1 : 0)), crlf ? "\r\n" : "\n"});
        begin = end + 1;
    }
    return lines;
}

std::string trimmed(const std::string& text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    size_t first = 0;
    size_t last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool sameName(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string> sectionName(const std::string& text)
{
    const std::string line = trimmed(text);
    if (line.size() < 2 || line.front() != '[')
        return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return trimmed(line.substr(1, close - 1));
}

// The key and value of a "key=value" line, or nothing for any other line.
std::optional<std::pair<std::string, std::string>> keyValue(const std::string& text)
{
    const size_t equals = text.find('=');
    if (equals == std::string::npos || sectionName(text))
        return std::nullopt;
    return std::make_pair(trimmed(text.substr(0, equals)), trimmed(text.substr(equals + 1)));
}

std::optional<std::string> readWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Where the lines of one section lie: the header's index and one past its
// last line (the next header or the end).
struct SectionSpan {
    size_t header;
    size_t end;
};

std::optional<SectionSpan> findSection(const std::vector<Line>& lines, const std::string& section)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i].text);
        if (!name || !sameName(*name, section))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && !sectionName(lines[end].text))
            ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

std::optional<std::string> IniFile::readString(const std::string& section, const std::string& key) const
{
    const auto content = readWhole(path_);
    if (!content)
        return std::nullopt;
    return valueIn(*content, section, key);
}

bool IniFile::writeString(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string content = withValue(readWhole(path_).value_or(std::string()), section, key, value);
    AtomicFile file(path_);
    return file.open() && file.write(content.data(), content.size()) && file.commit();
}

std::optional<std::string> IniFile::valueIn(const std::string& content, const std::string& section,
                                            const std::string& key)
{
    const std::vector<Line> lines = splitLines(content);
    const auto span = findSection(lines, section);
    if (!span)
        return std::nullopt;
    for (size_t i = span->header + 1; i < span->end; ++i) {
        const auto entry = keyValue(lines[i].text);
        if (entry && sameName(entry->first, key))
            return entry->second;
    }
    return std::nullopt;
}

std::string IniFile::withValue(const std::string& content, const std::string& section, const std::string& key,
                               const std::string& value)
{
    std::vector<Line> lines = splitLines(content);
    const std::string ending = lines.empty() || lines.front().ending.empty() ? "\n" : lines.front().ending;
    // A last line without an ending gets one before anything is added after it.
    if (!lines.empty() && lines.back().ending.empty())
        lines.back().ending = ending;

    const auto span = findSection(lines, section);
    if (!span) {
        lines.push_back({"[" + section + "]", ending});
        lines.push_back({key + "=" + value, ending});
    } else {
        bool replaced = false;
        for (size_t i = span->header + 1; i < span->end && !replaced; ++i) {
            const auto entry = keyValue(lines[i].text);
            if (entry && sameName(entry->first, key)) {
                lines[i].text = entry->first + "=" + value;
                replaced = true;
            }
        }
        if (!replaced) {
            // After the section's last non-blank line, so blank separators stay between sections.
            size_t at = span->end;
            while (at > span->header + 1 && trimmed(lines[at - 1].text).empty())
                --at;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), Line{key + "=" + value, ending});
        }
    }

    std::string written;
    for (const Line& line : lines)
        written += line.text + line.ending;
    return written;
}
