#include "buffers/FlashLayout.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

#include "core/SmallFile.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<uint32_t> hexNumber(std::string_view text)
{
    if (text.starts_with("0x") || text.starts_with("0X"))
        text.remove_prefix(2);
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string hexText(uint32_t value)
{
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, value, 16).ptr;
    return "0x" + std::string(text, end);
}

// Names become command-line words and terminal output: printable ASCII only.
bool plainName(std::string_view name)
{
    return std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

// One line's region; throws the line's fault.
LayoutRegion regionOf(std::string_view line)
{
    const size_t colon = line.find(':');
    const size_t space = line.find_first_of(" \t");
    if (colon == std::string_view::npos || space == std::string_view::npos || colon > space)
        throw std::invalid_argument("is not START:END NAME");
    const std::string_view startText = line.substr(0, colon);
    const std::string_view endText = line.substr(colon + 1, space - colon - 1);
    const std::string_view name = trimmed(line.substr(space));
    const std::optional<uint32_t> start = hexNumber(startText);
    const std::optional<uint32_t> end = hexNumber(endText);
    if (!start || !end)
        throw std::invalid_argument("\"" + std::string(!start ? startText : endText) +
                                    "\" is not a hexadecimal address of at most 32 bits");
    if (*start > *end)
        throw std::invalid_argument("the region starts at " + hexText(*start) + ", after its end " + hexText(*end));
    if (name.size() > FlashLayout::LongestName)
        throw std::invalid_argument("the region's name is longer than " + std::to_string(FlashLayout::LongestName) +
                                    " characters");
    if (!plainName(name))
        throw std::invalid_argument("the region's name may hold only printable ASCII characters and no spaces");
    return LayoutRegion{*start, *end, std::string(name)};
}

// Against the regions already read; throws the first conflict.
void refuseConflict(const std::vector<LayoutRegion>& regions, const LayoutRegion& added)
{
    for (const LayoutRegion& region : regions) {
        if (region.name == added.name)
            throw std::invalid_argument("the name \"" + added.name + "\" is given twice");
        if (added.start <= region.end && region.start <= added.end)
            throw std::invalid_argument("the region \"" + added.name + "\" overlaps \"" + region.name + "\" (" +
                                        hexText(region.start) + ":" + hexText(region.end) + ")");
    }
}

}  // namespace

const LayoutRegion* FlashLayout::find(std::string_view name) const
{
    const auto found =
        std::find_if(regions.begin(), regions.end(), [name](const LayoutRegion& region) { return region.name == name; });
    return found == regions.end() ? nullptr : &*found;
}

FlashLayoutRead ParseFlashLayout(std::string_view text)
{
    FlashLayout layout;
    size_t number = 0;
    while (!text.empty()) {
        ++number;
        const size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        try {
            if (line.find('\0') != std::string_view::npos)
                throw std::invalid_argument("holds a NUL character");
            LayoutRegion region = regionOf(line);
            refuseConflict(layout.regions, region);
            layout.regions.push_back(std::move(region));
        } catch (const std::invalid_argument& fault) {
            return {std::nullopt, "line " + std::to_string(number) + ": " + fault.what()};
        }
    }
    if (layout.regions.empty())
        return {std::nullopt, "names no region"};
    return {std::move(layout), {}};
}

FlashLayoutRead ReadFlashLayout(const std::string& path)
{
    std::string text;
    const SmallFile::Status status = SmallFile::read(path, FlashLayout::LargestFile, text);
    if (status != SmallFile::Status::Read)
        return {std::nullopt, status == SmallFile::Status::NotRegular ? "the layout " + path + " is not a regular file"
                              : status == SmallFile::Status::TooLarge
                                  ? "the layout " + path + " is larger than " + std::to_string(FlashLayout::LargestFile) + " bytes"
                                  : "cannot read the layout " + path};
    FlashLayoutRead result = ParseFlashLayout(text);
    if (!result.layout)
        result.error = "the layout " + path + ": " + result.error;
    return result;
}
