#pragma once

#include <cstdint>
#include <string>

// Durations as hours, minutes and seconds; negative ones read 0.

// "hh:mm:ss", as the time panel shows it.
std::string ElapsedText(int64_t milliseconds);
// "2:03", or "1:02:03" from an hour on: the production views and the command
// line's counters.
std::string DurationText(int64_t milliseconds);
// "02:03", or "1:02:03" from an hour on: the command line's progress bar.
std::string ClockText(int64_t milliseconds);
