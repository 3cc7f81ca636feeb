#include "ops/ElapsedText.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace {

// Hours always, padded to `hoursWidth` digits, or (`hoursWidth` 0) only from
// an hour on and not padded; minutes that lead are padded to `minutesWidth`.
std::string clockFields(int64_t milliseconds, int hoursWidth, int minutesWidth)
{
    const int64_t seconds = std::max<int64_t>(milliseconds, 0) / 1000;
    char text[32];
    if (hoursWidth > 0 || seconds >= 3600)
        std::snprintf(text, sizeof text, "%0*" PRId64 ":%02" PRId64 ":%02" PRId64, std::max(hoursWidth, 1),
                      seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%0*" PRId64 ":%02" PRId64, minutesWidth, seconds / 60, seconds % 60);
    return text;
}

}  // namespace

std::string ElapsedText(int64_t milliseconds)
{
    return clockFields(milliseconds, 2, 2);
}

std::string DurationText(int64_t milliseconds)
{
    return clockFields(milliseconds, 0, 1);
}

std::string ClockText(int64_t milliseconds)
{
    return clockFields(milliseconds, 0, 2);
}
