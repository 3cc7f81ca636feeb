#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

// Simulated time in milliseconds: the wall clock since the last reset plus
// whatever tests skipped ahead, so that tests need not really wait for an
// erase or a feeder pause.
class SimClock {
public:
    SimClock();

    void reset();
    void advance(uint32_t milliseconds);
    uint64_t nowMs() const;

private:
    std::chrono::steady_clock::time_point start_;
    std::atomic<uint64_t> offset_{0};
};
