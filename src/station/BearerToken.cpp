#include "station/BearerToken.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <cctype>
#include <fstream>

namespace {

std::string sha256(std::string_view text)
{
    std::string digest(SHA256_DIGEST_LENGTH, '\0');
    SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
           reinterpret_cast<unsigned char*>(digest.data()));
    return digest;
}

std::string_view trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

BearerToken::BearerToken(std::string token) : digest_(sha256(token)) {}

std::optional<BearerToken> BearerToken::readFile(const std::string& path, std::string& error)
{
    std::ifstream file(path);
    std::string line;
    if (!file || !std::getline(file, line)) {
        error = "cannot read the token file " + path + ".";
        return std::nullopt;
    }
    const std::string_view token = trimmed(line);
    if (token.size() < MinimumLength) {
        error = "the token in " + path + " is shorter than " + std::to_string(MinimumLength) + " characters.";
        return std::nullopt;
    }
    return BearerToken(std::string(token));
}

BearerToken::Check BearerToken::check(std::string_view authorization) const
{
    // The scheme's name is case-insensitive.
    constexpr std::string_view Scheme = "bearer ";
    if (authorization.size() <= Scheme.size())
        return Check::Missing;
    for (size_t i = 0; i < Scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(authorization[i])) != Scheme[i])
            return Check::Missing;
    }
    const std::string offered = sha256(trimmed(authorization.substr(Scheme.size())));
    return CRYPTO_memcmp(offered.data(), digest_.data(), digest_.size()) == 0 ? Check::Right : Check::Wrong;
}
