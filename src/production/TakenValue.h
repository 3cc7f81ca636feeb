#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One value a chip takes from one of its job's value sources.
struct TakenValue {
    size_t field = 0;             // the job's field
    std::string key;              // where in the source: an index, or a file's name
    std::string text;             // as the log shows it
    std::vector<uint8_t> bytes;   // as written into the chip
};
