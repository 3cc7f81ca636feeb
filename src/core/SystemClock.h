#pragma once

#include <cstdint>
#include <string>

// The real clock, for hosts that wait and time operations for real (the
// command line, a gang's programmers); the window and the tests keep their own.
namespace SystemClock {

void sleepMs(uint32_t milliseconds);
// Local time of day as HH:MM:SS, for completion lines.
std::string longTimeText();
// Milliseconds of a steady clock: differences only.
int64_t nowMs();

}  // namespace SystemClock
