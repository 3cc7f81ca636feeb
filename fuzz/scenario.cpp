// Scenario files for the simulator, given by the user with --simulator=FILE.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/Scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Scenario scenario;
    std::string error;
    // A refused scenario names the place and the reason.
    if (!scenario.parse(text, "fuzz", error) && error.rfind("fuzz:", 0) != 0)
        __builtin_trap();
    return 0;
}
