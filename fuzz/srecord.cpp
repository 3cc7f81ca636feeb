// S-record files opened into the buffers, through the reader's in-memory entry.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "buffers/SRecord.h"
#include "core/MessageCatalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Destinations exactly as large as their capacity, so that a byte stored
    // past it is caught; the input's length picks one.
    static std::vector<uint8_t> destinations[] = {std::vector<uint8_t>(1), std::vector<uint8_t>(0x10001),
                                                  std::vector<uint8_t>(0x120000)};
    std::vector<uint8_t>& destination = destinations[size % std::size(destinations)];
    const auto capacity = static_cast<uint32_t>(destination.size());
    const FileLoad load =
        ReadSRecordText(std::string_view(reinterpret_cast<const char*>(data), size), {destination.data(), capacity},
                        English);
    if (load.ok() ? load.count < 0 || static_cast<uint32_t>(load.count) > capacity : load.count != 0)
        __builtin_trap();
    return 0;
}
