#include "model/Feeder.h"

#include "model/FaultPlan.h"
#include "model/Programmer.h"

void Feeder::setEnabled(bool enabled, uint32_t pauseMs, uint64_t nowMs)
{
    enabled_ = enabled;
    enabledAtMs_ = nowMs;
    pauseMs_ = pauseMs;
    phase_ = Phase::Watching;
}

void Feeder::setFailing(uint32_t percent, uint32_t seed)
{
    failingPercent_ = percent;
    draws_.seed(seed);
}

void Feeder::update(uint64_t nowMs, Programmer& programmer, FaultPlan& faults)
{
    if (!enabled_)
        return;
    // Steps are timed from when they were due, not from when the host next
    // looked, so a late look sees both steps done.
    for (;;) {
        switch (phase_) {
        case Phase::Watching: {
            const std::optional<uint64_t> finishedAtMs = programmer.takeFinishedChip();
            if (!finishedAtMs)
                return;
            if (*finishedAtMs < enabledAtMs_)
                break;
            spec_ = programmer.chip()->spec();
            dueMs_ = *finishedAtMs + pauseMs_;
            phase_ = Phase::Removing;
            break;
        }
        case Phase::Removing:
            if (nowMs < dueMs_)
                return;
            if (programmer.chip()) {
                programmer.removeChip();
                ++doneCount_;
            }
            dueMs_ += pauseMs_;
            phase_ = Phase::Seating;
            break;
        case Phase::Seating:
            if (nowMs < dueMs_)
                return;
            if (!programmer.chip()) {
                programmer.seatChip(Chip::create(spec_));
                if (failingPercent_ > 0)
                    faults.setStuckBit(draws_() % 100 < failingPercent_ ? std::optional<uint32_t>(0) : std::nullopt);
            }
            phase_ = Phase::Watching;
            break;
        }
    }
}
