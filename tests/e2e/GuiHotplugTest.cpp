// The window under Qt's offscreen platform, with the system libusb-0.1 and
// libudev: the first activation finds the programmer, and pulling it out and
// putting it back reach the window as udev events, each followed by a new
// connection check. The window has no way to end itself, so the test closes
// it with SIGTERM once it has seen all three checks.
#include "e2e/EndToEndTest.h"

#include <csignal>
#include <fstream>
#include <iterator>

namespace {

using Window = EndToEndTest;

bool FileHolds(const std::string& path, const std::string& text)
{
    std::ifstream file(path);
    const std::string contents((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return contents.find(text) != std::string::npos;
}

TEST_F(Window, ConnectionChecksFollowUnplugAndReplug)
{
    if (std::string(BELCOR_E2E_GUI).empty())
        GTEST_SKIP() << "belcor is not built";
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    enum class Step { FirstCheck, Unplugged, Replugged, Done } step = Step::FirstCheck;
    const std::string log = path("stderr.txt");

    const ProgramResult result = runProgram(BELCOR_E2E_GUI, {"--verbose"}, [&] {
        switch (step) {
        case Step::FirstCheck:
            if (requestCount("RELEASEINTERFACE") >= 1) {
                bus->withModel([](Simulator& sim) { sim.setPlugged(false); });
                step = Step::Unplugged;
            }
            break;
        case Step::Unplugged:
            // The check after the "remove" event finds nothing.
            if (FileHolds(log, "Could not find USB device")) {
                bus->withModel([](Simulator& sim) { sim.setPlugged(true); });
                step = Step::Replugged;
            }
            break;
        case Step::Replugged:
            // The check after the "add" event opens the new node.
            if (requestCount("RELEASEINTERFACE") >= 2)
                step = Step::Done;
            break;
        case Step::Done:
            break;
        }
        return step != Step::Done;
    }, std::chrono::seconds(90));

    EXPECT_EQ(step, Step::Done) << result.out << result.err;
    EXPECT_EQ(requestCount("CLAIMINTERFACE"), 2);
    EXPECT_EQ(result.exitCode, -SIGTERM);
}

}  // namespace
