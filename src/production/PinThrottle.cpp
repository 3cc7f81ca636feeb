#include "production/PinThrottle.h"

#include <algorithm>

PinThrottle::PinThrottle(std::function<int64_t()> nowMs) : nowMs_(std::move(nowMs)) {}

int64_t PinThrottle::waitLeftMs() const
{
    return std::max<int64_t>(waitEndsMs_ - nowMs_(), 0);
}

void PinThrottle::missed()
{
    if (waitLeftMs() > 0)
        return;
    if (++misses_ < AllowedMisses)
        return;
    misses_ = 0;
    waitEndsMs_ = nowMs_() + WaitMs;
}

void PinThrottle::passed()
{
    misses_ = 0;
}
