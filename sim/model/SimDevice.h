#pragma once

#include "model/Programmer.h"

#include <cstdint>
#include <memory>
#include <string>

// One device on the simulated USB bus: its identity strings, its endpoint
// layout and the firmware behind it.
struct SimDevice {
    std::u16string manufacturer;
    std::u16string product;
    int replyEndpoint = 0x82;
    int commandEndpoint = 0x02;
    int dataEndpoint = 0x01;
    std::unique_ptr<Programmer> programmer;
    bool present = true;
    // Counts departures from the bus: a handle opened before one is stale.
    uint32_t generation = 0;
    bool wasOpened = false;
    bool wasClaimed = false;
};
