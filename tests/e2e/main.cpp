#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

// umockdev's uevents are composed by libudev in this process from the test
// bed's sysfs, so this process needs umockdev's preload library as much as
// the programs under test do: without it, it starts itself again with it.
int main(int argc, char** argv)
{
    const std::string preload = BELCOR_E2E_PRELOAD;
    const char* current = std::getenv("LD_PRELOAD");
    if (!preload.empty() && std::filesystem::exists(preload) &&
        (current == nullptr || std::string(current).find(preload) == std::string::npos)) {
        setenv("LD_PRELOAD", (preload + (current ? ":" + std::string(current) : "")).c_str(), 1);
        // The preload library then comes before AddressSanitizer's runtime,
        // which is sound here: it only forwards the calls it wraps.
        const char* options = std::getenv("ASAN_OPTIONS");
        setenv("ASAN_OPTIONS", ((options ? std::string(options) + ":" : "") + "verify_asan_link_order=0").c_str(), 1);
        execv("/proc/self/exe", argv);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
