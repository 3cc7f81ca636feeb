#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What loading a file gives back: the count of bytes loaded (for record files
// the extent, one past the highest byte a data record filled) and the messages
// to show, in order. A count of 0 with messages means the load failed part-way
// or not at all; bytes stored before the fault stay in the destination.
struct FileLoad {
    int32_t count = 0;
    std::vector<std::string> errors;
    // The file could not be opened at all: the Open command ends at once,
    // without reloading a view or writing the log line.
    bool notOpened = false;
    // The file opened, but reading it failed: whatever landed is no image of
    // it, so the Open command puts the buffer back as it was.
    bool readFailed = false;

    bool ok() const { return errors.empty() && !readFailed; }

    static FileLoad failure(std::string message)
    {
        FileLoad load;
        load.errors.push_back(std::move(message));
        return load;
    }
    static FileLoad cannotOpen(const std::string& path)
    {
        FileLoad load = failure("Cannot open file " + path);
        load.notOpened = true;
        return load;
    }
    static FileLoad readError()
    {
        FileLoad load;
        load.readFailed = true;
        return load;
    }
};

// Where a streaming load hands its bytes, piece by piece in address order.
using ByteSink = std::function<void(const uint8_t* bytes, size_t count)>;

// What writing a file gives back. Written files replace their target only when
// complete, so any failure leaves the previous file as it was.
enum class FileSave { Written, CannotCreate, WriteFailed };
