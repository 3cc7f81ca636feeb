#include "buffers/Checksums.h"

#include <algorithm>
#include <cstdio>
#include <openssl/evp.h>
#include <zlib.h>

namespace {

// Slicing by 8: eight tables let the CRC take eight bytes per step, fast
// enough that a 64 MiB buffer is not held up by its CRC-16.
using Crc16Tables = std::array<std::array<uint16_t, 256>, 8>;

const Crc16Tables& crc16Tables()
{
    static const Crc16Tables tables = [] {
        Crc16Tables t{};
        for (unsigned byte = 0; byte < 256; ++byte) {
            uint16_t crc = static_cast<uint16_t>(byte << 8);
            for (int bit = 0; bit < 8; ++bit)
                crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
            t[0][byte] = crc;
        }
        for (unsigned byte = 0; byte < 256; ++byte)
            for (size_t k = 1; k < 8; ++k)
                t[k][byte] = static_cast<uint16_t>((t[k - 1][byte] << 8) ^ t[0][t[k - 1][byte] >> 8]);
        return t;
    }();
    return tables;
}

uint16_t updateCrc16(uint16_t crc, const uint8_t* bytes, size_t count)
{
    const Crc16Tables& t = crc16Tables();
    while (count >= 8) {
        const uint8_t a = static_cast<uint8_t>(bytes[0] ^ (crc >> 8));
        const uint8_t b = static_cast<uint8_t>(bytes[1] ^ crc);
        crc = static_cast<uint16_t>(t[7][a] ^ t[6][b] ^ t[5][bytes[2]] ^ t[4][bytes[3]] ^ t[3][bytes[4]]
                                    ^ t[2][bytes[5]] ^ t[1][bytes[6]] ^ t[0][bytes[7]]);
        bytes += 8;
        count -= 8;
    }
    while (count-- > 0)
        crc = static_cast<uint16_t>((crc << 8) ^ t[0][((crc >> 8) ^ *bytes++) & 0xFF]);
    return crc;
}

uint64_t byteSum(const uint8_t* bytes, size_t count)
{
    // Independent lanes let the compiler vectorise the loop.
    uint64_t lanes[8] = {};
    size_t i = 0;
    for (; i + 8 <= count; i += 8)
        for (size_t k = 0; k < 8; ++k)
            lanes[k] += bytes[i + k];
    uint64_t sum = 0;
    for (const uint64_t lane : lanes)
        sum += lane;
    for (; i < count; ++i)
        sum += bytes[i];
    return sum;
}

std::string hexOf(uint64_t value, int digits)
{
    char text[20];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

struct ChecksumAccumulator::Digest {
    Digest() : context(EVP_MD_CTX_new()) { EVP_DigestInit_ex(context, EVP_sha256(), nullptr); }
    ~Digest() { EVP_MD_CTX_free(context); }
    EVP_MD_CTX* context;
};

ChecksumAccumulator::ChecksumAccumulator() : crc32_(::crc32(0L, Z_NULL, 0)), digest_(std::make_unique<Digest>()) {}

ChecksumAccumulator::~ChecksumAccumulator() = default;

void ChecksumAccumulator::add(const uint8_t* bytes, size_t count)
{
    crc16_ = updateCrc16(crc16_, bytes, count);
    crc32_ = ::crc32_z(crc32_, bytes, count);
    sum_ += byteSum(bytes, count);
    EVP_DigestUpdate(digest_->context, bytes, count);
}

ChecksumSet ChecksumAccumulator::finish()
{
    ChecksumSet result;
    result.crc16 = crc16_;
    result.crc32 = static_cast<uint32_t>(crc32_);
    result.sum8 = static_cast<uint8_t>(sum_);
    result.sum16 = static_cast<uint16_t>(sum_);
    result.sum32 = static_cast<uint32_t>(sum_);
    unsigned int length = 0;
    EVP_DigestFinal_ex(digest_->context, result.sha256.data(), &length);
    return result;
}

ChecksumSet ChecksumsOf(const uint8_t* bytes, size_t count)
{
    ChecksumAccumulator accumulator;
    accumulator.add(bytes, count);
    return accumulator.finish();
}

std::optional<ChecksumSet> ChecksumsOf(const uint8_t* bytes, size_t count,
                                       const std::function<bool(size_t bytesDone)>& keepGoing, size_t step)
{
    ChecksumAccumulator accumulator;
    for (size_t done = 0; done < count;) {
        const size_t take = std::min(step, count - done);
        accumulator.add(bytes + done, take);
        done += take;
        if (!keepGoing(done))
            return std::nullopt;
    }
    return accumulator.finish();
}

std::string ChecksumSet::crc16Text() const { return hexOf(crc16, 4); }
std::string ChecksumSet::crc32Text() const { return hexOf(crc32, 8); }
std::string ChecksumSet::sum8Text() const { return hexOf(sum8, 2); }
std::string ChecksumSet::sum16Text() const { return hexOf(sum16, 4); }
std::string ChecksumSet::sum32Text() const { return hexOf(sum32, 8); }

std::string ChecksumSet::sha256Text() const
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    for (const uint8_t byte : sha256) {
        text += Digits[byte >> 4];
        text += Digits[byte & 0xF];
    }
    return text;
}
