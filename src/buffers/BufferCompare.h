#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A run of consecutive differing bytes: [start, start + length).
struct DifferingRange {
    size_t start = 0;
    size_t length = 0;
    bool operator==(const DifferingRange&) const = default;
};

struct Comparison {
    std::vector<DifferingRange> ranges;  // in address order, at most the limit asked for
    size_t differingBytes = 0;           // all of them, listed or not
    size_t rangeCount = 0;               // all of them, listed or not
    bool equal() const { return differingBytes == 0; }
};

// Compares two blocks byte by byte; where one is shorter, its missing bytes
// differ. Equal stretches are skipped a word at a time, so 64 MiB that agree
// cost no more than reading them.
Comparison CompareBlocks(std::span<const uint8_t> a, std::span<const uint8_t> b, size_t rangeLimit = 100000);
