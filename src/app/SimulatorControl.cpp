#include "app/SimulatorControl.h"

#include <dlfcn.h>

#include "chips/ChipRecord.h"

namespace {

template <typename Function>
bool resolve(void* library, const char* name, Function& entry, std::string& error)
{
    entry = reinterpret_cast<Function>(dlsym(library, name));
    if (!entry)
        error = std::string("The simulator library has no entry ") + name + ".";
    return entry != nullptr;
}

}  // namespace

std::unique_ptr<SimulatorControl> SimulatorControl::open(const std::string& path, std::string& error)
{
    // The library stays loaded for the life of the process, as the bindings keep it.
    void* library = dlopen(path.c_str(), RTLD_NOW);
    if (!library) {
        const char* reason = dlerror();
        error = "Cannot load the simulator library " + path + ": " + (reason ? reason : "unknown error") + ".";
        return nullptr;
    }
    std::unique_ptr<SimulatorControl> control(new SimulatorControl);
    if (!resolve(library, "belcor_sim_load_scenario", control->loadScenario_, error)
        || !resolve(library, "belcor_sim_last_error", control->lastError_, error)
        || !resolve(library, "belcor_sim_set_hotplug_callback", control->setHotplugCallback_, error)
        || !resolve(library, "belcor_sim_seat_chip", control->seatChip_, error)
        || !resolve(library, "belcor_sim_remove_chip", control->removeChip_, error)
        || !resolve(library, "belcor_sim_set_plugged", control->setPlugged_, error)
        || !resolve(library, "belcor_sim_is_plugged", control->isPlugged_, error)
        || !resolve(library, "belcor_sim_set_feeder", control->setFeeder_, error))
        return nullptr;
    return control;
}

bool SimulatorControl::loadScenario(const std::string& path, std::string& error)
{
    if (loadScenario_(path.c_str()) == 0)
        return true;
    const char* reason = lastError_();
    error = reason && *reason ? reason : "The scenario " + path + " could not be loaded.";
    return false;
}

void SimulatorControl::setHotplugCallback(belcor_sim_hotplug_callback callback, void* context)
{
    setHotplugCallback_(callback, context);
}

bool SimulatorControl::seatChip(const ChipRecord& record)
{
    belcor_sim_chip chip{};
    chip.chip_class = record.chipClass;
    chip.jedec_id = record.chipId;
    chip.size = record.flashSize;
    chip.page_size = record.flashPage;
    return seatChip_(&chip) == 0;
}

void SimulatorControl::removeChip()
{
    removeChip_();
}

void SimulatorControl::setPlugged(bool plugged)
{
    setPlugged_(plugged ? 1 : 0);
}

bool SimulatorControl::isPlugged() const
{
    return isPlugged_() != 0;
}

void SimulatorControl::setFeeder(bool enabled)
{
    setFeeder_(enabled ? 1 : 0, FeederPauseMs);
    feederOn_ = enabled;
}
