#include "production/GoodChipTarget.h"

GoodChipTarget::GoodChipTarget(std::optional<int64_t> target, int64_t goodSoFar)
    : target_(target), good_(goodSoFar)
{
}

void GoodChipTarget::setTarget(std::optional<int64_t> target)
{
    const std::lock_guard lock(mutex_);
    target_ = target;
}

std::optional<int64_t> GoodChipTarget::target() const
{
    const std::lock_guard lock(mutex_);
    return target_;
}

GoodChipTarget::Claim GoodChipTarget::claim()
{
    const std::lock_guard lock(mutex_);
    if (reachedLocked())
        return Claim::Reached;
    if (target_ && good_ + underWay_ >= *target_)
        return Claim::Wait;
    ++underWay_;
    return Claim::Granted;
}

void GoodChipTarget::finished(bool good)
{
    const std::lock_guard lock(mutex_);
    --underWay_;
    if (good)
        ++good_;
}

void GoodChipTarget::released()
{
    const std::lock_guard lock(mutex_);
    --underWay_;
}

bool GoodChipTarget::reached() const
{
    const std::lock_guard lock(mutex_);
    return reachedLocked();
}

int64_t GoodChipTarget::good() const
{
    const std::lock_guard lock(mutex_);
    return good_;
}
