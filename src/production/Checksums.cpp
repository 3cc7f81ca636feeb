#include "production/Checksums.h"

Checksums Checksums::of(const uint8_t* data, size_t size)
{
    ImageHash hash;
    hash.add(data, size);
    const ImageHashes hashes = hash.finish();
    return Checksums{hashes.crc32, hashes.sha256Text()};
}
