#include "model/Throttle.h"

#include <thread>

void Throttle::setRate(uint32_t bytesPerMs)
{
    bytesPerMs_ = bytesPerMs;
    deadline_ = std::chrono::steady_clock::now();
}

void Throttle::pace(uint32_t bytes)
{
    if (bytesPerMs_ == 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    // After an idle spell the rate restarts from now rather than bursting.
    if (deadline_ < now)
        deadline_ = now;
    deadline_ += std::chrono::microseconds(uint64_t(bytes) * 1000 / bytesPerMs_);
    if (deadline_ - now > std::chrono::milliseconds(1))
        std::this_thread::sleep_until(deadline_);
}
