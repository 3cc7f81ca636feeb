#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "buffers/BufferCompare.h"
#include "buffers/ErasedBlock.h"

// An image compared with a file as the load rules read it into an erased
// (all 0xFF) block: over the longer of the image's length and the file's
// extent, so a file that stops early is compared with what an erased chip
// holds beyond it.
struct FileComparison {
    Comparison comparison;
    size_t extent = 0;    // of the file
    size_t compared = 0;  // bytes compared from address 0
    std::vector<std::string> errors;  // the file could not be loaded whole
    bool ok() const { return errors.empty(); }
};

// `image` holds `capacity` bytes, of which the first `length` count; bytes
// past `length` take part only where the file reaches them.
FileComparison CompareWithFile(const uint8_t* image, size_t capacity, size_t length, const std::string& path);

// An image file loaded by the load rules into an erased block of `capacity` bytes.
struct LoadedImage {
    ErasedBlock block;
    size_t extent = 0;
    std::vector<std::string> errors;
    bool ok() const { return errors.empty(); }
};
LoadedImage LoadImageFile(const std::string& path, uint32_t capacity);
