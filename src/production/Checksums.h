#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The two checksums a production run shows and logs: zlib's CRC-32, which
// operators compare by eye, and SHA-256 from OpenSSL, which identifies an
// image beyond doubt.
struct Checksums {
    uint32_t crc32 = 0;
    std::string sha256;  // 64 lower-case hex digits

    static Checksums of(const uint8_t* data, size_t size);
    // "1A2B3C4D", as the log and the views show it.
    std::string crc32Text() const;
};

// SHA-256 of a byte range, and of a whole regular file (nothing when it is
// none or cannot be read).
std::string Sha256Hex(const uint8_t* data, size_t size);
std::optional<std::string> Sha256OfFile(const std::string& path);
