#include "model/FaultPlan.h"

void FaultPlan::clear()
{
    *this = FaultPlan();
}

bool FaultPlan::take(std::optional<uint32_t>& countdown)
{
    if (!countdown)
        return false;
    if (*countdown == 0) {
        countdown.reset();
        return true;
    }
    --*countdown;
    return false;
}
