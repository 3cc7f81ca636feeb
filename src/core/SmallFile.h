#pragma once

#include <cstddef>
#include <string>

// Reads a file that is meant to be small (a job, a record kept for later)
// without trusting what the path names: a FIFO would block and a device such
// as /dev/zero never end, so only a regular file (a link to one included) is
// read, and only up to `limit` bytes.
class SmallFile {
public:
    enum class Status { Read, Missing, NotRegular, TooLarge, Unreadable };

    static Status read(const std::string& path, size_t limit, std::string& text);
    // Whether `path` names a regular file, through any links.
    static bool isRegular(const std::string& path);
};
