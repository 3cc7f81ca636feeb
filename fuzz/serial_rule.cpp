// The serial-number rule arrives as a command-line argument and in job files.
#include <cstddef>
#include <cstdint>
#include <string>

#include "production/SerialRule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<SerialRule> rule = ParseSerialRule(text, error);
    if (!rule)
        return 0;
    // Every value up to the maximum encodes into exactly the rule's width.
    const uint64_t maximum = rule->maximum();
    for (const uint64_t value : {rule->first, maximum, maximum / 2}) {
        const std::optional<std::vector<uint8_t>> bytes = rule->encode(value);
        if (value <= maximum && bytes && bytes->size() != rule->width)
            __builtin_trap();
        rule->text(value);
        // A sequence never repeats a value nor leaves what the rule can encode.
        if (const std::optional<uint64_t> next = rule->after(value); next && (*next <= value || !rule->encode(*next)))
            __builtin_trap();
    }
    rule->describe();
    return 0;
}
