#include "core/IniFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>

#include "core/AtomicFile.h"

namespace {

// One physical line without its line ending, and the ending as found; both
// point into the file's text, so that reading a file copies none of its lines.
struct Line {
    std::string_view text;
    std::string_view ending;
};

std::vector<Line> splitLines(std::string_view content)
{
    std::vector<Line> lines;
    lines.reserve(static_cast<size_t>(std::count(content.begin(), content.end(), '\n')) + 1);
    size_t begin = 0;
    while (begin < content.size()) {
        size_t end = content.find('\n', begin);
        if (end == std::string_view::npos) {
            lines.push_back({content.substr(begin), {}});
            break;
        }
        const bool crlf = end > begin && content[end - 1] == '\r';
        const size_t textEnd = crlf ? end - 1 : end;
        lines.push_back({content.substr(begin, textEnd - begin), content.substr(textEnd, end + 1 - textEnd)});
        begin = end + 1;
    }
    return lines;
}

std::string_view trimmed(std::string_view text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> sectionName(std::string_view text)
{
    const std::string_view line = trimmed(text);
    if (line.size() < 2 || line.front() != '[')
        return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trimmed(line.substr(1, close - 1));
}

// The key and value of a "key=value" line, or nothing for any other line.
std::optional<std::pair<std::string_view, std::string_view>> keyValue(std::string_view text)
{
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos || sectionName(text))
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
            return std::string(entry->second);
    }
    return std::nullopt;
}

std::string IniFile::withValue(const std::string& content, const std::string& section, const std::string& key,
                               const std::string& value)
{
    std::vector<Line> lines = splitLines(content);
    const std::string_view ending = lines.empty() || lines.front().ending.empty() ? "\n" : lines.front().ending;
    // A last line without an ending gets one before anything is added after it.
    if (!lines.empty() && lines.back().ending.empty())
        lines.back().ending = ending;

    // The lines written anew; the others still point into `content`.
    const std::string header = "[" + section + "]";
    std::string entryLine = key + "=" + value;
    const auto span = findSection(lines, section);
    if (!span) {
        lines.push_back({header, ending});
        lines.push_back({entryLine, ending});
    } else {
        bool replaced = false;
        for (size_t i = span->header + 1; i < span->end && !replaced; ++i) {
            const auto entry = keyValue(lines[i].text);
            if (entry && sameName(entry->first, key)) {
                entryLine = std::string(entry->first) + "=" + value;
                lines[i].text = entryLine;
                replaced = true;
            }
        }
        if (!replaced) {
            // After the section's last non-blank line, so blank separators stay between sections.
            size_t at = span->end;
            while (at > span->header + 1 && trimmed(lines[at - 1].text).empty())
                --at;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), Line{entryLine, ending});
        }
    }

    std::string written;
    written.reserve(content.size() + entryLine.size() + header.size() + 2 * ending.size());
    for (const Line& line : lines) {
        written += line.text;
        written += line.ending;
    }
    return written;
}
