#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "buffers/Checksums.h"

// The two checksums a production run shows and logs (see ImageHashes), the
// SHA-256 as the text the job file and the log store.
struct Checksums {
    uint32_t crc32 = 0;
    std::string sha256;  // 64 lower-case hex digits

    static Checksums of(const uint8_t* data, size_t size);
    // "1A2B3C4D", as the log and the views show it.
    std::string crc32Text() const { return Crc32Text(crc32); }
    // A CRC-32 as a person types it ("0x" or not, either case, leading zeros
    // left out) in crc32Text's form, which lookups compare; nothing when the
    // text is no CRC-32.
    static std::optional<std::string> crc32Key(std::string_view typed);
};
