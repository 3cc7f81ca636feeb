#include "maint/SimulatorLibrary.h"

#include "chips/ChipRecord.h"
#include "link/Libusb0.h"
#include "core/RunningExecutable.h"
#include "core/RuntimeLibrary.h"
#include "maint/HidApi.h"

namespace {

template <typename Function>
bool resolve(void* library, const char* name, Function& entry, std::string& error)
{
    entry = reinterpret_cast<Function>(RuntimeLibrary::findSymbol(library, name));
    if (!entry)
        error = std::string("The simulator library has no entry ") + name + ".";
    return entry != nullptr;
}

}  // namespace

std::string SimulatorLibrary::pathBeside(const std::string& executablePath)
{
    return RunningExecutable::folderOf(executablePath) + "/libbelcor_sim.so";
}

std::unique_ptr<SimulatorLibrary> SimulatorLibrary::open(const std::string& path, std::string& error)
{
    // The library stays loaded for the life of the process, as the bindings keep
    // it; loading the same file there gives this very instance, so the scenario
    // set up here is what they see.
    std::string reason;
    void* library = RuntimeLibrary::openFile(path, reason);
    if (!library) {
        error = "Cannot load the simulator library " + path + ": " + reason + ".";
        return nullptr;
    }
    std::unique_ptr<SimulatorLibrary> control(new SimulatorLibrary);
    if (!resolve(library, "belcor_sim_load_scenario", control->loadScenario_, error)
        || !resolve(library, "belcor_sim_last_error", control->lastError_, error)
        || !resolve(library, "belcor_sim_set_transcript_enabled", control->setTranscriptEnabled_, error)
        || !resolve(library, "belcor_sim_set_hotplug_callback", control->setHotplugCallback_, error)
        || !resolve(library, "belcor_sim_seat_chip", control->seatChip_, error)
        || !resolve(library, "belcor_sim_remove_chip", control->removeChip_, error)
        || !resolve(library, "belcor_sim_set_plugged", control->setPlugged_, error)
        || !resolve(library, "belcor_sim_is_plugged", control->isPlugged_, error)
        || !resolve(library, "belcor_sim_set_feeder", control->setFeeder_, error)
        || !resolve(library, "belcor_sim_is_feeder_on", control->isFeederOn_, error))
        return nullptr;
    return control;
}

std::unique_ptr<SimulatorLibrary> SimulatorLibrary::bind(const std::string& executablePath,
                                                         const std::string& scenario, std::string& error)
{
    const std::string path = pathBeside(executablePath);
    Libusb0::setLibraryPath(path);
    HidApi::setLibraryPath(path);
    std::unique_ptr<SimulatorLibrary> simulator = open(path, error);
    if (simulator && simulator->loadScenario(scenario, error))
        return simulator;
    return nullptr;
}

bool SimulatorLibrary::loadScenario(const std::string& path, std::string& error)
{
    if (loadScenario_(path.c_str()) == 0)
        return true;
    const char* reason = lastError_();
    error = reason && *reason ? reason : "The scenario " + path + " could not be loaded.";
    return false;
}

void SimulatorLibrary::setTranscriptEnabled(bool enabled)
{
    setTranscriptEnabled_(enabled ? 1 : 0);
}

void SimulatorLibrary::setHotplugCallback(belcor_sim_hotplug_callback callback, void* context)
{
    setHotplugCallback_(callback, context);
}

bool SimulatorLibrary::seatChip(const ChipRecord& record)
{
    belcor_sim_chip chip{};
    chip.chip_class = record.chipClass;
    chip.jedec_id = record.chipId;
    chip.size = record.flashSize;
    chip.page_size = record.flashPage;
    return seatChip_(&chip) == 0;
}

void SimulatorLibrary::removeChip()
{
    removeChip_();
}

void SimulatorLibrary::setPlugged(bool plugged)
{
    setPlugged_(plugged ? 1 : 0);
}

bool SimulatorLibrary::isPlugged() const
{
    return isPlugged_() != 0;
}

void SimulatorLibrary::setFeeder(bool enabled)
{
    setFeeder_(enabled ? 1 : 0, FeederPauseMs);
}

// Asked of the simulator: a scenario may have switched the feeder on.
bool SimulatorLibrary::isFeederOn() const
{
    return isFeederOn_() != 0;
}
