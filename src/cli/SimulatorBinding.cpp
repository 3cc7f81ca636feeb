#include "cli/SimulatorBinding.h"

#include <dlfcn.h>

#include "belcor_sim.h"
#include "link/Libusb0.h"
#include "maint/HidApi.h"

std::string BindSimulator(const std::string& executableFolder, const std::string& scenario)
{
    const std::string library = executableFolder + "/libbelcor_sim.so";
    Libusb0::setLibraryPath(library);
    HidApi::setLibraryPath(library);

    // The bindings load the same file later and get this very instance, so the
    // scenario set up here is what they see. It stays loaded for the process.
    void* handle = dlopen(library.c_str(), RTLD_NOW);
    if (handle == nullptr) {
        const char* reason = dlerror();
        return "cannot load the simulator " + library + ": " + (reason ? reason : "unknown error");
    }
    const auto loadScenario =
        reinterpret_cast<decltype(&belcor_sim_load_scenario)>(dlsym(handle, "belcor_sim_load_scenario"));
    const auto lastError = reinterpret_cast<decltype(&belcor_sim_last_error)>(dlsym(handle, "belcor_sim_last_error"));
    const auto setTranscript =
        reinterpret_cast<decltype(&belcor_sim_set_transcript_enabled)>(dlsym(handle, "belcor_sim_set_transcript_enabled"));
    if (loadScenario == nullptr || lastError == nullptr || setTranscript == nullptr)
        return "the simulator " + library + " lacks the entry points of its scenario control";
    if (loadScenario(scenario.c_str()) != 0) {
        const char* reason = lastError();
        return reason != nullptr && *reason != '\0' ? reason : "the scenario " + scenario + " could not be loaded";
    }
    // Nothing here reads the transcript; recording every block of a 64 MiB chip
    // would only cost time and memory.
    setTranscript(0);
    return {};
}
