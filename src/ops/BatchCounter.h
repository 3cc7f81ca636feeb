#pragma once

#include <cstdint>

// Batch mode's count of consecutive queries that found a chip in the socket.
// A chip must be seen five times in a row before it is programmed, so one
// still being pushed in is left alone; after its Auto run the count stays
// above five until the socket is seen empty, so every chip is programmed once.
class BatchCounter {
public:
    static constexpr int SightingsBeforeAuto = 5;

    // One answered query with the programmer's detection code. Codes from 128
    // up read as negative: they neither count nor reset. Returns whether Auto
    // runs now.
    bool query(uint8_t detectionCode);

    int sightings() const { return sightings_; }

private:
    int sightings_ = 0;
};
