#include "cli/CliTest.h"

namespace {

TEST_F(CliTest, InfoShowsTheProgrammersVersions)
{
    const CliResult result = runScenario("versions H3.1 V4.02 BU2TEST000042\n", {"info"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Hardware version: H3.1\nFirmware version: V4.02\nSeries number: BU2TEST000042\n");
    const CliResult unplugged = runScenario("unplugged\n", {"info"});
    EXPECT_EQ(unplugged.exitCode, 3);
    EXPECT_EQ(unplugged.err, "error: Not connected\n");
}

TEST_F(CliTest, UpgradeSendsTheFirmwareWithProgress)
{
    // The image starts after the file's first 0x3000 bytes.
    writeFile("new.fwpk", std::vector<uint8_t>(0x3000 + 5000, 0x42));
    const CliResult result = runScenario("", {"upgrade", path("new.fwpk")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
    // The command line tells of the upgrade once, with the time.
    EXPECT_EQ(CountLines(result.err, "Firmware upgrade complete!"), 1) << result.err;
    EXPECT_TRUE(Contains(result.err, "Upgrade firmware 0%\n")) << result.err;

    writeFile("empty.fwpk", {});
    const CliResult empty = runScenario("", {"upgrade", path("empty.fwpk")});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_TRUE(Contains(empty.err, "error: The firmware file is empty; the firmware was not upgraded.")) << empty.err;
}

TEST_F(CliTest, ListPrintsTitleSizeAndPage)
{
    const CliResult hits = run({"list", "W25Q64JV"});
    EXPECT_EQ(hits.exitCode, 0);
    EXPECT_EQ(hits.out, "SPI_FLASH,Winbond,W25Q64JV,8388608,256\nSPI_FLASH,Winbond,W25Q64JV-IM,8388608,256\n");
    const CliResult none = run({"list", "NoSuchChip"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out, "");
}

}  // namespace

namespace {

TEST_F(CliTest, ProgrammersListsEveryProgrammerAndOneCanBeChosen)
{
    const std::string gang = "programmers 3\n";
    const CliResult list = runScenario(gang, {"programmers"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out, "BUS/DEVICE  SERIAL         FIRMWARE  STATE\n"
                        "001/001     BU2SIM0000001  V3.10     ready\n"
                        "001/002     BU2SIM0000002  V3.10     ready\n"
                        "001/003     BU2SIM0000003  V3.10     ready\n");
    for (const std::string& target : {std::string("BU2SIM0000002"), std::string("001/002")}) {
        const CliResult info = runScenario(gang, {"--programmer", target, "info"});
        EXPECT_EQ(info.exitCode, 0) << info.err;
        EXPECT_TRUE(Contains(info.out, "Series number: BU2SIM0000002\n")) << target << ": " << info.out;
    }
    const CliResult missing = runScenario(gang, {"--programmer=BU2SIM0000007", "status"});
    EXPECT_EQ(missing.exitCode, 3);
    const CliResult none = runScenario("unplugged\n", {"programmers"});
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_EQ(run({"--programmer", "BU2SIM0000001", "list"}).exitCode, 2);
}

}  // namespace
