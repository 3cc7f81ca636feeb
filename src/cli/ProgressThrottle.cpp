#include "cli/ProgressThrottle.h"

// A clock that went back (another step's time base) counts as due, so that
// a step never falls silent.
bool ProgressThrottle::due(int64_t nowMs)
{
    if (lastMs_ && nowMs >= *lastMs_ && nowMs - *lastMs_ < IntervalMs)
        return false;
    lastMs_ = nowMs;
    return true;
}
