#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Search of a byte pattern in a block, both ways, for Find in the FLASH view.
// Forward finds the first match starting at or after `from`; backward the
// last one starting before `from`. An empty pattern finds nothing.
std::optional<size_t> FindForward(std::span<const uint8_t> data, std::span<const uint8_t> pattern, size_t from);
std::optional<size_t> FindBackward(std::span<const uint8_t> data, std::span<const uint8_t> pattern, size_t from);

// Hex byte text as typed into Find: pairs of hex digits, blanks anywhere
// between pairs ("DE AD beef"). Nothing for an empty text, a lone digit or
// any other character.
std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string& text);
