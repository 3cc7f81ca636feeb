#pragma once

#include <string_view>

// How a chip's run in production ended. Interrupted: its program ended
// during the chip, so nothing is known of it, good or bad.
enum class ChipResult { Pass, Fail, Interrupted };

// The word the log, its exports, the line server and the station's API keep
// for a result; these words are stored, so they never change.
const char* ChipResultWord(ChipResult result);
// A stored word read back. A word no build writes (a damaged row or file)
// reads as Interrupted: the chip's outcome is unknown, so it counts neither
// as good nor as failed.
ChipResult ChipResultOf(std::string_view word);
