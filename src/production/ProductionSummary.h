#pragma once

#include <cstdint>
#include <string>

#include "production/ProductionCounters.h"

// The production view's summary lines in the window's language: the job's
// counters, the station's throughput and the image's checksums.
struct ProductionSummary {
    static std::string counters(const ProductionCounters& counters, int language);
    // The station's good chips an hour as the log measured them, and the time
    // left with `programmers` side by side, each doing a chip per average
    // cycle; `target` 0: no time left to tell.
    static std::string throughput(const ProductionCounters& counters, int64_t programmers, int64_t target,
                                  int language);
    static std::string checksums(const std::string& crc32, const std::string& sha256);
};
