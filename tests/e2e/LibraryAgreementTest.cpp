// The simulator library stands in for the system's libusb-0.1 and hidapi in
// every other test; here both are driven through the same calls, the system
// libraries over the test bed, and must answer alike: return values, error
// codes, descriptors, short transfers, claims and what an unplug leaves.
#include "e2e/EndToEndTest.h"

#include <cstdlib>
#include <sstream>

namespace {

class LibraryAgreement : public EndToEndTest, public testing::WithParamInterface<const char*> {};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

TEST_P(LibraryAgreement, SystemLibrariesAndSimulatorAnswerAlike)
{
    const std::string request = path("unplug-request");
    setenv("BELCOR_E2E_UNPLUG", request.c_str(), 1);
    // The probe asks for the unplug by a file, as it cannot reach the model.
    const auto servePulls = [&] {
        if (std::filesystem::exists(request)) {
            bus->withModel([](Simulator& sim) { sim.setPlugged(false); });
            bus->pump();
            std::filesystem::remove(request);
        }
        return true;
    };
    const ProgramResult system =
        runProgram(BELCOR_E2E_PROBE, {"libusb-0.1.so.4", "libhidapi-hidraw.so.0", GetParam()}, servePulls);
    const ProgramResult simulator = runProgram(BELCOR_E2E_PROBE, {BELCOR_E2E_SIMULATOR, BELCOR_E2E_SIMULATOR, GetParam()});
    unsetenv("BELCOR_E2E_UNPLUG");

    EXPECT_EQ(system.exitCode, 0) << system.out << system.err;
    EXPECT_EQ(simulator.exitCode, 0) << simulator.out << simulator.err;
    const std::vector<std::string> expected = Lines(system.out), actual = Lines(simulator.out);
    for (size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        EXPECT_EQ(i < actual.size() ? actual[i] : "(nothing)", i < expected.size() ? expected[i] : "(nothing)")
            << "line " << i + 1 << ": simulator, then system libraries";
    }
}

INSTANTIATE_TEST_SUITE_P(Libraries, LibraryAgreement, testing::Values("usb", "hid"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
