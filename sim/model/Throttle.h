#pragma once

#include <chrono>
#include <cstdint>

// Paces data transfers to a chosen rate with real sleeps, so that the demo
// shows progress bars moving at a plausible speed. Small blocks are paced
// against a running deadline: sleeping per 256-byte block would be far too
// coarse at megabytes per second.
class Throttle {
public:
    void setRate(uint32_t bytesPerMs);
    void pace(uint32_t bytes);

private:
    uint32_t bytesPerMs_ = 0;
    std::chrono::steady_clock::time_point deadline_;
};
