#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// The checksums of the bench tools, gathered in one pass over a block that
// may arrive in pieces (so a caller can show progress between them):
//   CRC-16/CCITT  polynomial 0x1021, initial 0xFFFF, not reflected, no final XOR
//                 (the "CCITT-FALSE" form; "123456789" gives 29B1);
//   CRC-32        zlib's crc32 ("123456789" gives CBF43926);
//   Sum-8/16/32   the sum of the bytes, cut to 8, 16 or 32 bits;
//   SHA-256       OpenSSL's libcrypto.
struct ChecksumSet {
    uint16_t crc16 = 0;
    uint32_t crc32 = 0;
    uint8_t sum8 = 0;
    uint16_t sum16 = 0;
    uint32_t sum32 = 0;
    std::array<uint8_t, 32> sha256{};

    std::string crc16Text() const;  // "29B1"
    std::string crc32Text() const;  // "CBF43926"
    std::string sum8Text() const;
    std::string sum16Text() const;
    std::string sum32Text() const;
    std::string sha256Text() const;  // 64 lower-case hex digits
};

class ChecksumAccumulator {
public:
    ChecksumAccumulator();
    ~ChecksumAccumulator();
    ChecksumAccumulator(const ChecksumAccumulator&) = delete;
    ChecksumAccumulator& operator=(const ChecksumAccumulator&) = delete;

    void add(const uint8_t* bytes, size_t count);
    // The checksums of everything added; the accumulator is spent afterwards.
    ChecksumSet finish();

private:
    struct Digest;
    uint16_t crc16_ = 0xFFFF;
    unsigned long crc32_;
    uint64_t sum_ = 0;
    std::unique_ptr<Digest> digest_;
};

// All checksums of one block at once.
ChecksumSet ChecksumsOf(const uint8_t* bytes, size_t count);

// The same in steps of `step` bytes; after each, `keepGoing(bytesDone)` may
// show progress and returns false to stop early, which gives nothing.
std::optional<ChecksumSet> ChecksumsOf(const uint8_t* bytes, size_t count,
                                       const std::function<bool(size_t bytesDone)>& keepGoing,
                                       size_t step = size_t(1) << 20);
