#include "production/EngineerPin.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <vector>

#include "chips/HexDigits.h"

namespace {

constexpr size_t SaltBytes = 16;
constexpr size_t HashBytes = 32;

// Stored in lower case only, so that each salt and hash has one spelling.
int lowerCaseDigit(char c)
{
    return c >= 'A' && c <= 'F' ? -1 : HexDigitValue(c);
}

std::optional<std::vector<uint8_t>> bytesOf(const std::string& hex, size_t count)
{
    if (hex.size() != 2 * count)
        return std::nullopt;
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) {
        const int high = lowerCaseDigit(hex[2 * i]);
        const int low = lowerCaseDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return bytes;
}

std::optional<std::vector<uint8_t>> derive(const std::string& pin, const std::vector<uint8_t>& salt,
                                           uint32_t iterations)
{
    std::vector<uint8_t> key(HashBytes);
    if (PKCS5_PBKDF2_HMAC(pin.data(), static_cast<int>(pin.size()), salt.data(), static_cast<int>(salt.size()),
                          static_cast<int>(iterations), EVP_sha256(), static_cast<int>(key.size()), key.data()) != 1)
        return std::nullopt;
    return key;
}

}  // namespace

std::optional<EngineerPin> EngineerPin::of(const std::string& pin, uint32_t iterations)
{
    std::vector<uint8_t> salt(SaltBytes);
    if (!problemOf(pin).empty() || RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1)
        return std::nullopt;
    const std::optional<std::vector<uint8_t>> key = derive(pin, salt, iterations);
    if (!key)
        return std::nullopt;
    return EngineerPin{iterations, HexBytesText(salt.data(), salt.size(), false),
                       HexBytesText(key->data(), key->size(), false)};
}

std::string EngineerPin::problemOf(const std::string& pin)
{
    if (pin.size() < ShortestPin || pin.size() > LongestPin)
        return "an engineer PIN has " + std::to_string(ShortestPin) + " to " + std::to_string(LongestPin) +
               " characters";
    for (const char character : pin) {
        if (static_cast<unsigned char>(character) < 0x20 || character == 0x7F)
            return "an engineer PIN holds no control characters";
    }
    return {};
}

bool EngineerPin::matches(const std::string& pin) const
{
    const std::optional<std::vector<uint8_t>> salted = bytesOf(salt, SaltBytes);
    const std::optional<std::vector<uint8_t>> stored = bytesOf(hash, HashBytes);
    if (!salted || !stored || !problem().empty() || pin.size() > LongestPin)
        return false;
    const std::optional<std::vector<uint8_t>> key = derive(pin, *salted, iterations);
    return key && CRYPTO_memcmp(key->data(), stored->data(), HashBytes) == 0;
}

std::string EngineerPin::problem() const
{
    if (iterations < LeastIterations || iterations > MostIterations)
        return "iterations must be from " + std::to_string(LeastIterations) + " to " + std::to_string(MostIterations);
    if (!bytesOf(salt, SaltBytes))
        return "salt must be " + std::to_string(2 * SaltBytes) + " lower-case hex digits";
    if (!bytesOf(hash, HashBytes))
        return "hash must be " + std::to_string(2 * HashBytes) + " lower-case hex digits";
    return {};
}
