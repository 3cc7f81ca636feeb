#pragma once

#include <cstdint>
#include <string>

class BufferSet;
class OperationHost;

enum class FillMode { Byte, Word, Random };

// The fill dialog's fields as typed, converted only when the fill runs.
struct FillRequest {
    FillMode mode = FillMode::Byte;
    std::string byteText;   // Edit1
    std::string wordText;   // Edit2
    std::string startText;  // Edit3
    std::string endText;    // Edit4 (inclusive)
    // Seed of the random bytes: the calendar time in seconds, so two random
    // fills within one second give the same bytes.
    uint32_t randomSeed = 0;
};

// Fills start..end of the FLASH buffer, makes end + 1 the data length and has
// the FLASH view show that many bytes. All four fields are converted first; a
// field that does not convert, an end below the start or a range outside the
// buffer is reported through the host, in `language`, and nothing changes.
// True when filled.
bool FillFlashBuffer(BufferSet& buffers, OperationHost& host, const FillRequest& request, int language);
