#pragma once

#include <string>

#include "production/GangRun.h"

// What a programmer's tile says about it, in words an operator on the line
// understands: waiting for a chip, the step under way with its progress, the
// chip in hand passed or failed, or not connected.
struct TileState {
    enum class Tone { Quiet, Busy, Good, Bad };

    std::string text;
    Tone tone = Tone::Quiet;

    // `seat`: the programmer's seat while a gang holds it (nothing before the
    // first start); `attached`: found on the bus at the last look.
    static TileState of(const GangRun::SeatView* seat, bool attached, int language);
};
