#pragma once

#include <string>

#include "production/GangRun.h"

// What a programmer's tile says about it, in words an operator on the line
// understands: waiting for a chip, the step under way with its progress, the
// chip in hand passed or failed, or not connected.
struct TileState {
    enum class Tone { Quiet, Busy, Good, Bad };
    // What the text says, for a front end that keeps its own words or colours.
    enum class Step { NotConnected, Idle, Waiting, Erasing, BlankChecking, Programming, Verifying, Passed, Failed };

    std::string text;
    Tone tone = Tone::Quiet;
    Step step = Step::Idle;

    // `seat`: the programmer's seat while a gang holds it (nothing before the
    // first start); `attached`: found on the bus at the last look.
    static TileState of(const GangRun::SeatView* seat, bool attached, int language);
};
