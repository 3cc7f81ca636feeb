#pragma once

#include <cstdint>
#include <optional>

// When the next progress event of --json may go out: the first of a step at
// once, then one per interval. A script polling its pipe wants a steady few
// per second, not one per block of a 64 MiB chip.
class ProgressThrottle {
public:
    // Six to seven a second: at least four even when a block runs late.
    static constexpr int64_t IntervalMs = 150;

    // A new step: its first event is due at once.
    void restart() { lastMs_.reset(); }
    // Whether an event is due at `nowMs`; if so, it counts as sent. A clock
    // that went back counts as due, so that a step never falls silent.
    bool due(int64_t nowMs)
    {
        if (lastMs_ && nowMs >= *lastMs_ && nowMs - *lastMs_ < IntervalMs)
            return false;
        lastMs_ = nowMs;
        return true;
    }

private:
    std::optional<int64_t> lastMs_;
};
