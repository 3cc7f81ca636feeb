#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A layout file names regions of a chip, one "START:END NAME" a line with
// hexadecimal addresses (END included), the form other flash tools read too.
// Blank lines and lines starting with '#' are skipped.
struct LayoutRegion {
    uint32_t start = 0;
    uint32_t end = 0;  // inclusive
    std::string name;
};

struct FlashLayout {
    // Layouts list a few dozen regions; anything this large is no layout.
    static constexpr size_t LargestFile = 1 << 20;
    static constexpr size_t LongestName = 256;

    std::vector<LayoutRegion> regions;  // in the file's order

    const LayoutRegion* find(std::string_view name) const;
};

struct FlashLayoutRead {
    std::optional<FlashLayout> layout;  // empty when `error` says why
    std::string error;
};

// The fault names its line; read's names the file too.
FlashLayoutRead ParseFlashLayout(std::string_view text);
FlashLayoutRead ReadFlashLayout(const std::string& path);
