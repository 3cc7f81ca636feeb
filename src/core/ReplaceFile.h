#pragma once

#include <cstddef>
#include <string>

// Writes `size` bytes to a temporary file in the folder of `path` and renames
// it over `path`, so a failure at any point leaves the old file as it was. The
// new file keeps the old one's permissions. Returns false on any failure.
bool ReplaceFile(const std::string& path, const void* data, size_t size);
