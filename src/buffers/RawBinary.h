#pragma once

#include <cstdint>
#include <string>

#include "buffers/FileLoad.h"
#include "buffers/LoadTarget.h"

// Raw binary: the file's bytes from the target's start; a file larger than
// the capacity is refused and leaves the target untouched.
FileLoad ReadRawBinary(const std::string& path, LoadTarget target);

// A raw image behind a capsule header: the header's 2048 bytes are skipped, but
// the whole file, header included, must fit the capacity.
FileLoad ReadCapsule(const std::string& path, LoadTarget target);

// The same loads, the bytes handed to `take` piece by piece as they are read
// instead of being stored: a caller that needs each byte once never holds the
// image whole.
FileLoad StreamRawBinary(const std::string& path, uint32_t capacity, const ByteSink& take);
FileLoad StreamCapsule(const std::string& path, uint32_t capacity, const ByteSink& take);

FileSave WriteRawBinary(const std::string& path, const uint8_t* source, uint32_t length);
