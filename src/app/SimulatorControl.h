#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "belcor_sim.h"

struct ChipRecord;

// The programmer simulator's own controls, looked up by name in the same
// library file the USB and HID bindings load in simulation mode. The
// application never links the simulator; it only finds these entries in it.
class SimulatorControl {
public:
    // Loads the library at `path` and resolves the control entries. Returns
    // nothing, with `error` set, when the file or an entry is missing.
    static std::unique_ptr<SimulatorControl> open(const std::string& path, std::string& error);

    // A scenario file; an empty path seats a blank 8 MiB serial flash.
    bool loadScenario(const std::string& path, std::string& error);

    // `callback` runs from inside library calls whenever a device arrives or leaves.
    void setHotplugCallback(belcor_sim_hotplug_callback callback, void* context);

    // Seats a blank chip with the record's family, identification and sizes.
    bool seatChip(const ChipRecord& record);
    void removeChip();
    void setPlugged(bool plugged);
    bool isPlugged() const;
    void setFeeder(bool enabled);
    bool isFeederOn() const { return feederOn_; }

    // Pause the feeder takes to take a finished chip out and to seat the next.
    static constexpr uint32_t FeederPauseMs = 1000;

private:
    SimulatorControl() = default;

    decltype(&belcor_sim_load_scenario) loadScenario_ = nullptr;
    decltype(&belcor_sim_last_error) lastError_ = nullptr;
    decltype(&belcor_sim_set_hotplug_callback) setHotplugCallback_ = nullptr;
    decltype(&belcor_sim_seat_chip) seatChip_ = nullptr;
    decltype(&belcor_sim_remove_chip) removeChip_ = nullptr;
    decltype(&belcor_sim_set_plugged) setPlugged_ = nullptr;
    decltype(&belcor_sim_is_plugged) isPlugged_ = nullptr;
    decltype(&belcor_sim_set_feeder) setFeeder_ = nullptr;
    bool feederOn_ = false;
};
