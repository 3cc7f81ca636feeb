// Texts from file names, USB strings and the line server's replies reach the
// line server and the window as UTF-8 through ValidUtf8.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/ValidUtf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string valid = ValidUtf8(text);
    // Valid text comes back unchanged, and nothing is dropped.
    if (ValidUtf8(valid) != valid || valid.size() < text.size())
        __builtin_trap();
    return 0;
}
