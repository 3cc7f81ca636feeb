#pragma once

// What a programmer in a gang is doing, as the operation routines said it,
// kept apart from their words so that no translation changes its meaning.
// Other: a step a tile has no words of its own for (the chip's identity,
// its protection, a refusal), or a state set without its meaning.
enum class SeatStep { Other, NotConnected, Connected, Erasing, BlankChecking, Programming, Verifying };
