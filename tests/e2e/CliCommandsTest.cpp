// belcor-cli's commands through the system libusb-0.1: enumeration by the
// usbfs node's descriptors, strings by control transfers, the interface claim
// and the command and data blocks as bulk URBs.
#include "e2e/EndToEndTest.h"

#include "model/Programmer.h"

namespace {

using CliCommands = EndToEndTest;

TEST_F(CliCommands, StatusOpensClaimsAndReleasesTheProgrammer)
{
    const ProgramResult result = runCli({"status"});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Connected"), std::string::npos) << result.out;
    // Enumeration asked the node for its device number; the strings came by
    // control transfers; the link claimed interface 0 and gave it back.
    EXPECT_GE(requestCount("CONNECTINFO"), 1);
    EXPECT_EQ(requestCount("CONTROL"), 3);
    EXPECT_EQ(requestCount("CLAIMINTERFACE"), 1);
    EXPECT_EQ(requestCount("RELEASEINTERFACE"), 1);
}

TEST_F(CliCommands, StatusWithoutProgrammerSaysNotConnected)
{
    bus->withModel([](Simulator& sim) { sim.setPlugged(false); });
    bus->pump();
    ASSERT_TRUE(bus->nodes().empty());

    const ProgramResult result = runCli({"status"});

    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.out.find("Not connected"), std::string::npos) << result.out;
}

TEST_F(CliCommands, DetectNamesTheSeatedFlash)
{
    seatFlash(kSmallFlashId, kSmallFlashSize);

    const ProgramResult result = runCli({"detect"});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find(kSmallFlashName), std::string::npos) << result.out;
    EXPECT_EQ(commandCount(Programmer::Identify), 1);
}

TEST_F(CliCommands, ReadSavesTheChipContents)
{
    seatFlash(kSmallFlashId, kSmallFlashSize);
    setChipContents(Pattern(kSmallFlashSize, 1));

    const ProgramResult result = runCli({"--chip", kSmallFlashName, "read", path("read.bin")});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile("read.bin"), Pattern(kSmallFlashSize, 1));
    // One bulk URB per 256-byte page, each reaped once.
    EXPECT_GE(requestCount("SUBMITURB"), int(kSmallFlashSize / 256));
    EXPECT_EQ(requestCount("DISCARDURB"), 0);
}

TEST_F(CliCommands, WriteThenVerifyAgainstTheWrittenChip)
{
    seatFlash(kSmallFlashId, kSmallFlashSize);
    writeFile("image.bin", Pattern(kSmallFlashSize, 2));

    const ProgramResult write = runCli({"--chip", kSmallFlashName, "write", path("image.bin")});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    EXPECT_EQ(chipContents(), Pattern(kSmallFlashSize, 2));

    const ProgramResult verify = runCli({"--chip", kSmallFlashName, "verify", path("image.bin")});
    EXPECT_EQ(verify.exitCode, 0) << verify.err;

    std::vector<uint8_t> changed = Pattern(kSmallFlashSize, 2);
    changed[0x1234] ^= 0x40;
    setChipContents(changed);
    const ProgramResult mismatch = runCli({"--chip", kSmallFlashName, "verify", path("image.bin")});
    EXPECT_EQ(mismatch.exitCode, 1) << mismatch.out;
}

TEST_F(CliCommands, EraseWaitsThroughBusyPolls)
{
    seatFlash(kSmallFlashId, kSmallFlashSize);
    setChipContents(Pattern(kSmallFlashSize, 3));
    bus->withModel([](Simulator& sim) { sim.programmer().setEraseTimeMs(1000); });

    const ProgramResult result = runCli({"--chip", kSmallFlashName, "erase"});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(chipContents(), std::vector<uint8_t>(kSmallFlashSize, 0xFF));
    // Each poll costs a 50 ms pause and a reply: a second of erase takes
    // several, however slow the machine.
    EXPECT_GE(commandCount(Programmer::PollStatus), 2);
}

TEST_F(CliCommands, InfoShowsTheProgrammersVersions)
{
    bus->withModel([](Simulator& sim) { sim.programmer().versions() = {"H2.1", "V3.20", "BU2E2E0000042"}; });

    const ProgramResult result = runCli({"info"});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Hardware version: H2.1"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Firmware version: V3.20"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Series number: BU2E2E0000042"), std::string::npos) << result.out;
}

}  // namespace

namespace {

// The system library lists a bus's devices in the order its folder reads,
// which no one fixes; whatever that order, only the genuine programmer is
// claimed. Look-alikes are opened for their strings and closed again.
TEST_F(CliCommands, OnlyTheGenuineProgrammerIsClaimedAmongLookalikes)
{
    bus->withModel([](Simulator& sim) {
        sim.addDevice(BELCOR_SIM_LOOKALIKE);
        sim.addDevice(BELCOR_SIM_CJK_PRODUCT);
        sim.addDevice(BELCOR_SIM_WINUSB1);
    });
    bus->pump();
    ASSERT_EQ(bus->nodes().size(), 4u);

    const ProgramResult result = runCli({"info"});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Series number: BU2SIM0000001"), std::string::npos) << result.out;
    EXPECT_EQ(requestCount("CLAIMINTERFACE"), 1);
}

TEST_F(CliCommands, WithTwoProgrammersExactlyOneIsUsed)
{
    bus->withModel([](Simulator& sim) { sim.addDevice(BELCOR_SIM_SECOND_PROGRAMMER); });
    bus->pump();

    const ProgramResult result = runCli({"info"});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    const bool first = result.out.find("BU2SIM0000001") != std::string::npos;
    const bool second = result.out.find("BU2SIM0000002") != std::string::npos;
    EXPECT_NE(first, second) << result.out;
    EXPECT_EQ(requestCount("CLAIMINTERFACE"), 1);
}

}  // namespace
