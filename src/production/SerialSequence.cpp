#include "production/SerialSequence.h"

#include <openssl/rand.h>

#include "buffers/Checksums.h"
#include "chips/HexDigits.h"
#include "production/ProductionJob.h"

namespace {

constexpr size_t RandomBytes = 16;

}  // namespace

std::string SerialSequenceOf(const ProductionJob& job)
{
    if (!job.serial)
        return {};
    if (!job.serialSequence.empty())
        return job.serialSequence;
    const SerialRule& rule = *job.serial;
    const std::string defining = job.name + "\n" + rule.describe() + "\n" + rule.prefix;
    return Sha256Hex(reinterpret_cast<const uint8_t*>(defining.data()), defining.size()).substr(0, 2 * RandomBytes);
}

std::string NewSerialSequence()
{
    uint8_t random[RandomBytes] = {};
    RAND_bytes(random, sizeof random);
    return HexBytesText(random, sizeof random, false);
}
