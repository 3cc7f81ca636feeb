#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A file opened for reading for the length of one call; closed on every exit.
class InputFile {
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False for a missing or unreadable file, and for a folder.
    bool isOpen() const { return fd_ >= 0; }
    uint64_t size() const { return size_; }

    bool seek(uint64_t position);
    // Reads up to `count` bytes, retrying short reads; returns the count read,
    // less than asked only at the end of the file, or -1 on a read error.
    int64_t read(void* destination, size_t count);

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};
