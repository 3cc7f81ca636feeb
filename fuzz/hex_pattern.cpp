// Find's hex pattern is typed by the user.
#include <cstddef>
#include <cstdint>
#include <string>

#include "buffers/ByteSearch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto bytes = ParseHexBytes(text);
    // Two hex digits make one byte: a pattern is never longer than half its text.
    if (bytes && bytes->size() > size / 2)
        __builtin_trap();
    return 0;
}
