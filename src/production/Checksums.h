#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "buffers/Checksums.h"

// The two checksums a production run shows and logs (see ImageHashes), the
// SHA-256 as the text the job file and the log store.
struct Checksums {
    uint32_t crc32 = 0;
    std::string sha256;  // 64 lower-case hex digits

    static Checksums of(const uint8_t* data, size_t size);
    // "1A2B3C4D", as the log and the views show it.
    std::string crc32Text() const { return Crc32Text(crc32); }
};
