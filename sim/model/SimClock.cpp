#include "model/SimClock.h"

SimClock::SimClock()
    : start_(std::chrono::steady_clock::now())
{
}

void SimClock::reset()
{
    start_ = std::chrono::steady_clock::now();
    offset_ = 0;
}

void SimClock::advance(uint32_t milliseconds)
{
    offset_ += milliseconds;
}

uint64_t SimClock::nowMs() const
{
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()) + offset_;
}
