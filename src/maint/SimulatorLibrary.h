#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "belcor_sim.h"

struct ChipRecord;

// The programmer simulator in simulation mode: the USB and HID bindings load
// its library in place of the system ones, and its own controls are looked up
// by name in that same file. The front ends never link the simulator; they
// find it beside the executable, exactly as the real libraries are found.
class SimulatorLibrary {
public:
    // libbelcor_sim.so in the folder of the executable at `executablePath`.
    static std::string pathBeside(const std::string& executablePath);

    // Loads the library at `path` and resolves the control entries. Returns
    // nothing, with `error` set, when the file or an entry is missing.
    static std::unique_ptr<SimulatorLibrary> open(const std::string& path, std::string& error);

    // Points the USB and HID bindings at the library beside the executable,
    // opens it and sets up `scenario`. Returns nothing, with `error` set, when
    // any of that fails.
    static std::unique_ptr<SimulatorLibrary> bind(const std::string& executablePath, const std::string& scenario,
                                                  std::string& error);

    // A scenario file; an empty path seats a blank 8 MiB serial flash.
    bool loadScenario(const std::string& path, std::string& error);

    // Whether the simulator records its exchanges.
    void setTranscriptEnabled(bool enabled);

    // `callback` runs from inside library calls whenever a device arrives or leaves.
    void setHotplugCallback(belcor_sim_hotplug_callback callback, void* context);

    // Seats a blank chip with the record's family, identification and sizes.
    bool seatChip(const ChipRecord& record);
    void removeChip();
    void setPlugged(bool plugged);
    bool isPlugged() const;
    void setFeeder(bool enabled);
    bool isFeederOn() const;

    // Pause the feeder takes to take a finished chip out and to seat the next.
    static constexpr uint32_t FeederPauseMs = 1000;

private:
    SimulatorLibrary() = default;

    decltype(&belcor_sim_load_scenario) loadScenario_ = nullptr;
    decltype(&belcor_sim_last_error) lastError_ = nullptr;
    decltype(&belcor_sim_set_transcript_enabled) setTranscriptEnabled_ = nullptr;
    decltype(&belcor_sim_set_hotplug_callback) setHotplugCallback_ = nullptr;
    decltype(&belcor_sim_seat_chip) seatChip_ = nullptr;
    decltype(&belcor_sim_remove_chip) removeChip_ = nullptr;
    decltype(&belcor_sim_set_plugged) setPlugged_ = nullptr;
    decltype(&belcor_sim_is_plugged) isPlugged_ = nullptr;
    decltype(&belcor_sim_set_feeder) setFeeder_ = nullptr;
    decltype(&belcor_sim_is_feeder_on) isFeederOn_ = nullptr;
};
