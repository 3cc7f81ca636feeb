// Layout files come from other tools and from hand editing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "buffers/FlashLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const FlashLayoutRead read = ParseFlashLayout(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.layout)
        return read.error.empty() ? (__builtin_trap(), 0) : 0;
    // What was accepted holds no overlap, no backwards region and no name twice.
    const auto& regions = read.layout->regions;
    for (size_t i = 0; i < regions.size(); ++i) {
        if (regions[i].start > regions[i].end || regions[i].name.empty())
            __builtin_trap();
        for (size_t j = i + 1; j < regions.size(); ++j) {
            if (regions[i].name == regions[j].name ||
                (regions[i].start <= regions[j].end && regions[j].start <= regions[i].end))
                __builtin_trap();
        }
    }
    return 0;
}
