#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The bytes of the image one field writes: a serial number, a value.
struct FieldSpan {
    std::string name;
    uint32_t address = 0;
    uint64_t length = 0;
};

// Why `spans` cannot all be written into [start, end): the first that passes
// outside it, or the first two that overlap. Empty when they can.
std::string FieldSpansProblem(std::vector<FieldSpan> spans, uint64_t start, uint64_t end);
