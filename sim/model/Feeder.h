#pragma once

#include "model/Chip.h"

#include <cstdint>
#include <random>

class FaultPlan;
class Programmer;

// Automatic chip feeder for rehearsing batch runs: a pause after a session
// that wrote into the seated chip ends, it takes the chip out; another pause
// later it seats a blank chip of the same kind.
class Feeder {
public:
    void reset() { *this = Feeder(); }
    // Chips finished before the feeder was switched on are left alone.
    void setEnabled(bool enabled, uint32_t pauseMs, uint64_t nowMs);
    // Each chip it seats has a stuck bit (at address 0: programmed, yet its
    // verify fails) with a chance of `percent` in 100, so that a rehearsal
    // meets failing chips; the draws follow `seed`.
    void setFailing(uint32_t percent, uint32_t seed);
    bool isEnabled() const { return enabled_; }
    uint32_t doneCount() const { return doneCount_; }
    // Moves the feeder on to simulated time `nowMs`.
    void update(uint64_t nowMs, Programmer& programmer, FaultPlan& faults);

private:
    enum class Phase { Watching, Removing, Seating };

    bool enabled_ = false;
    uint32_t pauseMs_ = 0;
    uint32_t doneCount_ = 0;
    Phase phase_ = Phase::Watching;
    uint64_t dueMs_ = 0;
    uint64_t enabledAtMs_ = 0;
    ChipSpec spec_;
    uint32_t failingPercent_ = 0;
    std::mt19937 draws_;
};
