// `log export --since` takes a time from the command line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "production/IsoTime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<int64_t> time = IsoTime::parse(text, error);
    if (!time)
        return 0;
    // The log's own form of an accepted time reads back as the same time.
    const std::string utc = IsoTime::utcText(*time);
    const std::optional<int64_t> again = IsoTime::parse(utc, error);
    if (!again || *again != *time)
        __builtin_trap();
    return 0;
}
