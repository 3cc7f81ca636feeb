// Chip titles come from the database file, so any bytes may reach the splitter.
#include <cstddef>
#include <cstdint>
#include <string>

#include "chips/SplitTitle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string title(reinterpret_cast<const char*>(data), size);
    size_t total = 0;
    for (const std::string& item : SplitTitle(title))
        total += item.size();
    // The items are pieces of the title: unquoting only ever shortens them.
    if (total > title.size())
        __builtin_trap();
    return 0;
}
