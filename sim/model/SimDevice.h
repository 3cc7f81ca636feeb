#pragma once

#include "model/FaultPlan.h"
#include "model/Feeder.h"
#include "model/Programmer.h"
#include "model/Throttle.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// One device on the simulated USB bus: its identity strings, its endpoint
// layout, the firmware behind it and what belongs to its socket alone (the
// feeder, the faults armed on it, its transfer pace).
struct SimDevice {
    std::u16string manufacturer;
    std::u16string product;
    int replyEndpoint = 0x82;
    int commandEndpoint = 0x02;
    int dataEndpoint = 0x01;
    // One of ours (the first device, a second programmer or one of a gang),
    // as opposed to a device that only looks like one.
    bool isProgrammer = true;

    // One transfer or control call at a time on this device, as on its wire;
    // transfers on different devices run side by side.
    std::mutex mutex;
    FaultPlan faults;
    Feeder feeder;
    Throttle throttle;
    std::unique_ptr<Programmer> programmer;

    // The cable: a device unplugged stays off the bus until plugged again.
    std::atomic<bool> plugged{true};
    // On the bus now (plugged, and not away in the boot loader).
    std::atomic<bool> present{true};
    // Counts departures from the bus: a handle opened before one is stale.
    std::atomic<uint32_t> generation{0};
    std::atomic<uint32_t> opens{0};
    std::atomic<bool> wasClaimed{false};
};
