#include "ops/ElapsedText.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

std::string ElapsedText(int64_t milliseconds)
{
    const int64_t seconds = std::max<int64_t>(milliseconds, 0) / 1000;
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%02" PRId64 ":%02" PRId64 ":%02" PRId64, seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
    return formatted;
}
