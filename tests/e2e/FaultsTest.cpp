// Faults as the system libraries meet them: a reply that never comes is an IN
// URB the kernel keeps pending until the library's time-out discards it; a
// programmer pulled out mid-transfer refuses URBs with ENODEV and its node
// goes with a "remove" uevent.
#include <algorithm>

#include "e2e/EndToEndTest.h"

namespace {

using Faults = EndToEndTest;

TEST_F(Faults, LostReplyTimesOutAfterFiveSecondsAndTheLinkRecovers)
{
    bus->withModel([](Simulator& sim) { sim.faults().loseReplyAfter(0); });

    const auto start = std::chrono::steady_clock::now();
    const ProgramResult lost = runCli({"info"});
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(lost.exitCode, 3);
    EXPECT_GE(elapsed, std::chrono::milliseconds(5000));
    // The library gave up on the pending URB and reaped it back.
    EXPECT_EQ(requestCount("DISCARDURB"), 1);
    EXPECT_EQ(requestCount("REAPURB"), 1);

    const ProgramResult next = runCli({"info"});
    EXPECT_EQ(next.exitCode, 0) << next.err;
}

TEST_F(Faults, UnplugDuringReadFailsTheReadAndRemovesTheNode)
{
    seatFlash(kSmallFlashId, kSmallFlashSize);
    // About a fifth into the chip's 256 pages.
    bus->withModel([](Simulator& sim) { sim.faults().unplugAfter(50); });

    const ProgramResult read = runCli({"--chip", kSmallFlashName, "read", path("read.bin")});

    EXPECT_EQ(read.exitCode, 3);
    EXPECT_NE(read.err.find("The programmer was disconnected during the read."), std::string::npos) << read.err;
    EXPECT_FALSE(std::filesystem::exists(path("read.bin")));
    EXPECT_TRUE(bus->nodes().empty());

    const ProgramResult status = runCli({"status"});
    EXPECT_NE(status.out.find("Not connected"), std::string::npos) << status.out;
}

// The read's progress must not end at the chip's size when the programmer
// went away part-way, and the one result object says why it failed.
TEST_F(Faults, UnplugDuringReadWithJsonReportsNoProgrammer)
{
    seatFlash(kSmallFlashId, kSmallFlashSize);
    bus->withModel([](Simulator& sim) { sim.faults().unplugAfter(50); });

    const ProgramResult read = runCli({"--json", "--chip", kSmallFlashName, "read", path("read.bin")});

    EXPECT_EQ(read.exitCode, 3);
    EXPECT_EQ(std::count(read.out.begin(), read.out.end(), '\n'), 1) << read.out;
    EXPECT_NE(read.out.find(R"("error":{"code":"no_programmer","message":"The programmer was disconnected during the read.")"),
              std::string::npos)
        << read.out;
    EXPECT_NE(read.err.find(R"("event":"progress","step":"reading")"), std::string::npos) << read.err;
    EXPECT_EQ(read.err.find(R"("done":65536,)"), std::string::npos) << read.err;
}

}  // namespace
