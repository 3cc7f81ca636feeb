// belcor-cli's arguments: the input is split at NUL bytes into argv entries.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> arguments(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back().push_back(static_cast<char>(data[i]));
    }
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    // Every refusal says why.
    if (!parsed.line && parsed.error.empty())
        __builtin_trap();
    return 0;
}
