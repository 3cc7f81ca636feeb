#include "buffers/Checksums.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

class Sha256Digest {
public:
    Sha256Digest() : context_(EVP_MD_CTX_new()) { EVP_DigestInit_ex(context_, EVP_sha256(), nullptr); }
    ~Sha256Digest() { EVP_MD_CTX_free(context_); }
    Sha256Digest(const Sha256Digest&) = delete;
    Sha256Digest& operator=(const Sha256Digest&) = delete;

    void add(const void* bytes, size_t count) { EVP_DigestUpdate(context_, bytes, count); }
    std::array<uint8_t, 32> finish()
    {
        std::array<uint8_t, 32> digest{};
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_, digest.data(), &length);
        return digest;
    }

private:
    EVP_MD_CTX* context_;
};

std::string lowerHexOf(const std::array<uint8_t, 32>& bytes)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * bytes.size());
    for (const uint8_t byte : bytes) {
        text += Digits[byte >> 4];
        text += Digits[byte & 0xF];
    }
    return text;
}

std::string hexOf(uint64_t value, int digits)
{
    char text[20];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

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

}  // namespace

std::string ImageHashes::crc32Text() const { return Crc32Text(crc32); }
std::string ImageHashes::sha256Text() const { return lowerHexOf(sha256); }

struct ImageHash::Digest : Sha256Digest {};

ImageHash::ImageHash() : crc32_(::crc32(0L, Z_NULL, 0)), digest_(std::make_unique<Digest>()) {}

ImageHash::~ImageHash() = default;

void ImageHash::add(const uint8_t* bytes, size_t count)
{
    crc32_ = ::crc32_z(crc32_, bytes, count);
    digest_->add(bytes, count);
}

void ImageHash::addErased(size_t count)
{
    std::array<uint8_t, 1 << 16> erased;
    erased.fill(0xFF);
    for (size_t left = count; left > 0;) {
        const size_t take = std::min(left, erased.size());
        add(erased.data(), take);
        left -= take;
    }
}

ImageHashes ImageHash::finish()
{
    return {static_cast<uint32_t>(crc32_), digest_->finish()};
}

std::string Crc32Text(uint32_t crc32)
{
    return hexOf(crc32, 8);
}

std::string Sha256Hex(const uint8_t* data, size_t size)
{
    Sha256Digest digest;
    digest.add(data, size);
    return lowerHexOf(digest.finish());
}

std::optional<std::string> Sha256OfFile(const std::string& path)
{
    // Regular files only: a FIFO would block and a device never end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    Sha256Digest digest;
    std::array<char, 1 << 16> piece;
    ssize_t got = 0;
    while ((got = ::read(fd, piece.data(), piece.size())) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        digest.add(piece.data(), static_cast<size_t>(got));
    }
    ::close(fd);
    return lowerHexOf(digest.finish());
}

void ChecksumAccumulator::add(const uint8_t* bytes, size_t count)
{
    crc16_ = updateCrc16(crc16_, bytes, count);
    sum_ += byteSum(bytes, count);
    image_.add(bytes, count);
}

ChecksumSet ChecksumAccumulator::finish()
{
    ChecksumSet result;
    static_cast<ImageHashes&>(result) = image_.finish();
    result.crc16 = crc16_;
    result.sum8 = static_cast<uint8_t>(sum_);
    result.sum16 = static_cast<uint16_t>(sum_);
    result.sum32 = static_cast<uint32_t>(sum_);
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
std::string ChecksumSet::sum8Text() const { return hexOf(sum8, 2); }
std::string ChecksumSet::sum16Text() const { return hexOf(sum16, 4); }
std::string ChecksumSet::sum32Text() const { return hexOf(sum32, 8); }
