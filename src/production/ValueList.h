#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "production/ValueField.h"

// A value list's contents: one value a line, each used by exactly one chip.
// Blank lines are skipped, a CR before the line end and a UTF-8 byte-order
// mark at the start are dropped. A line that is no value of its form, a value
// that stands twice, or a list without values is refused with its line number.
struct ValueList {
    // A list file is text of one line per chip; anything larger is no list.
    static constexpr size_t LargestFile = 64u << 20;
    static constexpr size_t LongestValue = 4096;

    std::vector<std::vector<uint8_t>> values;  // as written into the chip
    std::vector<std::string> texts;            // as the log shows them

    static std::optional<ValueList> parse(const std::string& text, ValueForm form, std::string& error);
    // The longest value's length: the space the field takes.
    size_t widest() const;
};
