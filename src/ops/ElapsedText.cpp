#include "ops/ElapsedText.h"

#include <algorithm>
#include <string>

namespace {

std::string padded(int64_t value, int width)
{
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    return digits;
}

// Hours always, padded to `hoursWidth` digits, or (`hoursWidth` 0) only from
// an hour on and not padded; minutes that lead are padded to `minutesWidth`.
// Made without a fixed buffer: an hour count has no upper bound.
std::string clockFields(int64_t milliseconds, int hoursWidth, int minutesWidth)
{
    const int64_t seconds = std::max<int64_t>(milliseconds, 0) / 1000;
    std::string text;
    if (hoursWidth > 0 || seconds >= 3600) {
        text = padded(seconds / 3600, std::max(hoursWidth, 1));
        text += ':';
        text += padded(seconds / 60 % 60, 2);
    } else {
        text = padded(seconds / 60, minutesWidth);
    }
    text += ':';
    text += padded(seconds % 60, 2);
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
