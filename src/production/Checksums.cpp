#include "production/Checksums.h"

#include <charconv>

Checksums Checksums::of(const uint8_t* data, size_t size)
{
    ImageHash hash;
    hash.add(data, size);
    const ImageHashes hashes = hash.finish();
    return Checksums{hashes.crc32, hashes.sha256Text()};
}

std::optional<std::string> Checksums::crc32Key(std::string_view typed)
{
    if (typed.starts_with("0x") || typed.starts_with("0X"))
        typed.remove_prefix(2);
    uint32_t value = 0;
    const char* end = typed.data() + typed.size();
    if (typed.empty() || typed.size() > 8)
        return std::nullopt;
    const auto [stop, problem] = std::from_chars(typed.data(), end, value, 16);
    if (problem != std::errc() || stop != end)
        return std::nullopt;
    return Crc32Text(value);
}
