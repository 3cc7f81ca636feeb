#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A 48-bit MAC address as a number, so that a range can be counted through.
namespace MacAddress {

inline constexpr uint64_t Largest = 0xFFFFFFFFFFFFull;
inline constexpr uint32_t Width = 6;

// "AA:BB:CC:DD:EE:FF" or "AA-BB-CC-DD-EE-FF", two hex digits a byte.
std::optional<uint64_t> parse(const std::string& text);
// Upper-case, colon-separated.
std::string text(uint64_t address);
// The six bytes as they go on the wire, first byte first.
std::vector<uint8_t> bytes(uint64_t address);

}  // namespace MacAddress
