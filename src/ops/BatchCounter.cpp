#include "ops/BatchCounter.h"

bool BatchCounter::query(uint8_t detectionCode)
{
    const int8_t presence = static_cast<int8_t>(detectionCode);
    if (presence == 0)
        sightings_ = 0;
    if (sightings_ < SightingsBeforeAuto) {
        if (presence > 0)
            ++sightings_;
        return false;
    }
    if (sightings_ == SightingsBeforeAuto) {
        ++sightings_;
        return true;
    }
    return false;
}
