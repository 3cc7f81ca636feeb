#include <string>
#include <vector>

#include "belcor_sim.h"
#include "cli/CliTest.h"

namespace {

bool contains(const std::string& text, const std::string& fragment)
{
    return text.find(fragment) != std::string::npos;
}

TEST_F(CliTest, InfoShowsTheProgrammersVersions)
{
    const CliResult result = runScenario("versions H3.1 V4.02 BU2TEST000042\n", {"info"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Hardware version: H3.1\nFirmware version: V4.02\nSeries number: BU2TEST000042\n");

    const CliResult unplugged = runScenario("unplugged\n", {"info"});
    EXPECT_EQ(unplugged.exitCode, 1);
    EXPECT_EQ(unplugged.err, "error: Not connected\n");
}

TEST_F(CliTest, UpgradeSendsTheFirmwareWithProgress)
{
    std::vector<uint8_t> firmware(0x3000 + 5000, 0);
    for (size_t i = 0x3000; i < firmware.size(); ++i)
        firmware[i] = static_cast<uint8_t>(i);
    writeFile("new.fwpk", firmware);
    const CliResult result = runScenario("", {"upgrade", path("new.fwpk")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "Firmware upgrade complete!"));
    EXPECT_TRUE(contains(result.err, "Upgrade firmware 0%\n")) << result.err;

    writeFile("empty.fwpk", {});
    const CliResult empty = runScenario("", {"upgrade", path("empty.fwpk")});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_TRUE(contains(empty.err, "error: The firmware file is empty; the firmware was not upgraded.")) << empty.err;
}

TEST_F(CliTest, ListPrintsTheDatabaseAsTitleSizeAndPage)
{
    const CliResult hits = run({"list", "W25Q64JV"});
    EXPECT_EQ(hits.exitCode, 0);
    EXPECT_EQ(hits.out, "SPI_FLASH,Winbond,W25Q64JV,8388608,256\nSPI_FLASH,Winbond,W25Q64JV-IM,8388608,256\n");

    const CliResult all = run({"list"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_GT(CountLines(all.out, ","), 600);
    EXPECT_EQ(CountLines(all.out, "24_EEPROM,Atmel,AT24C02,256,8"), 1);

    EXPECT_EQ(run({"list", "NoSuchChip"}).exitCode, 1);
}

}  // namespace
