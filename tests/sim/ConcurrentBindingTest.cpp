#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "link/Libusb0.h"
#include "maint/HidApi.h"
#include "support/SimulatorFixture.h"

namespace {

// Gang seats open their links on threads of their own, each loading the
// bindings; under ThreadSanitizer an unguarded load races on the table.
class ConcurrentBinding : public SimulatorFixture {};

TEST_F(ConcurrentBinding, LoadsFromManyThreadsAtOnce)
{
    HidApi::setLibraryPath(simulatorPath());
    std::vector<std::thread> threads;
    std::vector<char> loaded(8, 0);
    for (size_t i = 0; i < loaded.size(); ++i)
        threads.emplace_back([&loaded, i] { loaded[i] = Libusb0::load() && HidApi::load(); });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(loaded, std::vector<char>(loaded.size(), 1));
    EXPECT_NE(Libusb0::table().usb_open, nullptr);
    EXPECT_NE(HidApi::table().hid_open_path, nullptr);
}

}  // namespace
