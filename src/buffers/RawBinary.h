#pragma once

#include <cstdint>
#include <string>

#include "buffers/FileLoad.h"

// Raw binary: the file's bytes from the destination's start; a file larger
// than the capacity is refused and leaves the destination untouched.
FileLoad ReadRawBinary(const std::string& path, uint8_t* destination, uint32_t capacity);

// A raw image behind a capsule header: the header's 2048 bytes are skipped, but
// the whole file, header included, must fit the capacity.
FileLoad ReadCapsule(const std::string& path, uint8_t* destination, uint32_t capacity);

FileSave WriteRawBinary(const std::string& path, const uint8_t* source, uint32_t length);
