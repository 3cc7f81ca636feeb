#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// The pair that identifies an image, in the production log and on the command
// line: zlib's CRC-32 ("123456789" gives CBF43926), which operators compare by
// eye, and SHA-256 from OpenSSL's libcrypto, which tells images apart beyond doubt.
struct ImageHashes {
    uint32_t crc32 = 0;
    std::array<uint8_t, 32> sha256{};

    std::string crc32Text() const;   // "CBF43926"
    std::string sha256Text() const;  // 64 lower-case hex digits
};

// The CRC-32 and SHA-256 of bytes that may arrive in pieces, as a file is
// read, without the bench tools' other sums.
class ImageHash {
public:
    ImageHash();
    ~ImageHash();
    ImageHash(const ImageHash&) = delete;
    ImageHash& operator=(const ImageHash&) = delete;

    void add(const uint8_t* bytes, size_t count);
    // `count` erased bytes (0xFF), as an image holds past a file's end.
    void addErased(size_t count);
    // The hashes of everything added; the hash is spent afterwards.
    ImageHashes finish();

private:
    struct Digest;
    unsigned long crc32_;
    std::unique_ptr<Digest> digest_;
};

// "1A2B3C4D": a CRC-32 as every view and log shows it.
std::string Crc32Text(uint32_t crc32);
// SHA-256 of a byte range, and of a whole regular file (nothing when it is
// none or cannot be read).
std::string Sha256Hex(const uint8_t* data, size_t size);
std::optional<std::string> Sha256OfFile(const std::string& path);

// The checksums of the bench tools, gathered in one pass over a block that
// may arrive in pieces (so a caller can show progress between them):
//   CRC-16/CCITT  polynomial 0x1021, initial 0xFFFF, not reflected, no final XOR
//                 (the "CCITT-FALSE" form; "123456789" gives 29B1);
//   CRC-32, SHA-256 as above;
//   Sum-8/16/32   the sum of the bytes, cut to 8, 16 or 32 bits.
struct ChecksumSet : ImageHashes {
    uint16_t crc16 = 0;
    uint8_t sum8 = 0;
    uint16_t sum16 = 0;
    uint32_t sum32 = 0;

    std::string crc16Text() const;  // "29B1"
    std::string sum8Text() const;
    std::string sum16Text() const;
    std::string sum32Text() const;
};

class ChecksumAccumulator {
public:
    void add(const uint8_t* bytes, size_t count);
    // The checksums of everything added; the accumulator is spent afterwards.
    ChecksumSet finish();

private:
    uint16_t crc16_ = 0xFFFF;
    uint64_t sum_ = 0;
    ImageHash image_;
};

// All checksums of one block at once.
ChecksumSet ChecksumsOf(const uint8_t* bytes, size_t count);

// The same in steps of `step` bytes; after each, `keepGoing(bytesDone)` may
// show progress and returns false to stop early, which gives nothing.
std::optional<ChecksumSet> ChecksumsOf(const uint8_t* bytes, size_t count,
                                       const std::function<bool(size_t bytesDone)>& keepGoing,
                                       size_t step = size_t(1) << 20);
