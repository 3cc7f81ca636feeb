#include "production/Checksums.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

std::string hexOf(const unsigned char* bytes, unsigned int size)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (unsigned int i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string finish(EVP_MD_CTX* context)
{
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    EVP_DigestFinal_ex(context, digest.data(), &size);
    return hexOf(digest.data(), size);
}

// zlib's crc32 counts in uInt; larger spans go in pieces.
uint32_t crc32Of(const uint8_t* data, size_t size)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    constexpr size_t Piece = 1u << 30;
    for (size_t done = 0; done < size; done += Piece)
        crc = crc32(crc, data + done, static_cast<uInt>(std::min(Piece, size - done)));
    return static_cast<uint32_t>(crc);
}

}  // namespace

Checksums Checksums::of(const uint8_t* data, size_t size)
{
    return Checksums{crc32Of(data, size), Sha256Hex(data, size)};
}

std::string Checksums::crc32Text() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", crc32);
    return text;
}

std::string Sha256Hex(const uint8_t* data, size_t size)
{
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr);
    EVP_DigestUpdate(context.get(), data, size);
    return finish(context.get());
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
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr);
    std::array<char, 1 << 16> piece{};
    ssize_t got = 0;
    while ((got = ::read(fd, piece.data(), piece.size())) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        EVP_DigestUpdate(context.get(), piece.data(), static_cast<size_t>(got));
    }
    ::close(fd);
    return finish(context.get());
}
