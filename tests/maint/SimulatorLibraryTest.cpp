#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "belcor_sim.h"
#include "link/Libusb0.h"
#include "maint/SimulatorLibrary.h"
#include "maint/HidApi.h"

namespace {

class SimulatorLibraryTest : public testing::Test {
protected:
    void SetUp() override { belcor_sim_reset(); }
    void TearDown() override
    {
        Libusb0::setLibraryPath(Libusb0::defaultLibraryPath());
        HidApi::setLibraryPath(HidApi::defaultLibraryPath());
        belcor_sim_reset();
    }

    // The simulator library lies beside the test executable, as beside belcor.
    static std::string executable() { return std::filesystem::canonical("/proc/self/exe").string(); }
};

TEST_F(SimulatorLibraryTest, BindPointsBothBindingsAtTheSimulatorAndLoadsTheScenario)
{
    std::string error;
    const auto simulator = SimulatorLibrary::bind(executable(), "", error);
    ASSERT_TRUE(simulator) << error;
    const std::string expected = (std::filesystem::path(executable()).parent_path() / "libbelcor_sim.so").string();
    EXPECT_EQ(Libusb0::libraryPath(), expected);
    EXPECT_EQ(HidApi::libraryPath(), expected);
    // An empty scenario seats a blank serial flash in a plugged programmer.
    EXPECT_EQ(belcor_sim_chip_is_seated(), 1);
    simulator->setPlugged(false);
    EXPECT_FALSE(simulator->isPlugged());
}

TEST_F(SimulatorLibraryTest, MissingLibraryOrBadScenarioSaysWhy)
{
    std::string error;
    EXPECT_FALSE(SimulatorLibrary::bind("/nonexistent/belcor", "", error));
    EXPECT_TRUE(error.starts_with("Cannot load the simulator library /nonexistent/libbelcor_sim.so: ")) << error;

    const std::filesystem::path scenario = std::filesystem::temp_directory_path() / ("belcor-bad-" + std::to_string(getpid()) + ".scenario");
    std::ofstream(scenario) << "no such directive\n";
    error.clear();
    EXPECT_FALSE(SimulatorLibrary::bind(executable(), scenario.string(), error));
    EXPECT_FALSE(error.empty());
    std::filesystem::remove(scenario);
}

}  // namespace
