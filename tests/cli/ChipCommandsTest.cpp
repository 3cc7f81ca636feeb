#include <string>
#include <vector>

#include "cli/CliTest.h"

namespace {

// A 64 KiB serial flash the database knows (AMIC A25L512), so that commands
// stay quick; its erase takes 100 ms.
const std::string SmallFlash = "chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 100\n";
const std::string PatternFlash = SmallFlash + "contents pattern\n";
constexpr uint32_t SmallSize = 65536;

bool contains(const std::string& text, const std::string& fragment)
{
    return text.find(fragment) != std::string::npos;
}

struct DetectCase {
    const char* name;
    std::string scenario;
    int exitCode;
    const char* out;  // expected on stdout, or ""
    const char* err;  // expected on stderr, or ""
};

class Detection : public CliTest, public testing::WithParamInterface<DetectCase> {};

TEST_P(Detection, ReportsTheSocketAndExitsZeroOnlyForAKnownChip)
{
    const DetectCase& expected = GetParam();
    const CliResult result = runScenario(expected.scenario, {"detect"});
    EXPECT_EQ(result.exitCode, expected.exitCode) << result.out << result.err;
    EXPECT_TRUE(contains(result.out, expected.out)) << result.out;
    EXPECT_TRUE(contains(result.err, expected.err)) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Detect, Detection,
    testing::Values(
        DetectCase{"KnownFlash", SmallFlash, 0, "The chip was detected:A25L512\n\n Chip typeSPI_FLASH\n"
                                                "Chip: SPI_FLASH,AMIC,A25L512 (65536 bytes, page 256)", ""},
        DetectCase{"UnknownId", "chip class=0 id=0xC84099 size=65536 page=256\n", 1, "",
                   "error: Unknown chip ID =C8 40 99Please choose the compatibility type manually."},
        DetectCase{"EepromFamily", "chip class=1 size=256 page=8\n", 1,
                   "Chip type is detected:24_EEPROM\n\n Please manually select the corresponding type burn.", ""},
        DetectCase{"EmptySocket", "", 1, "", "error: No chips detected, please put the chip to try again!"},
        DetectCase{"Unplugged", SmallFlash + "unplugged\n", 1, "", "error: Not connected"}),
    [](const testing::TestParamInfo<DetectCase>& info) { return std::string(info.param.name); });

TEST_F(CliTest, StatusFollowsThePlug)
{
    const CliResult connected = runScenario(SmallFlash, {"status"});
    EXPECT_EQ(connected.exitCode, 0);
    EXPECT_TRUE(contains(connected.out, "\nConnected\n")) << connected.out;

    const CliResult unplugged = runScenario(SmallFlash + "unplugged\n", {"status"});
    EXPECT_EQ(unplugged.exitCode, 1);
    EXPECT_EQ(unplugged.out, "Not connected\n");
}

TEST_F(CliTest, ReadSavesTheSeatedContentsAndShowsProgressLines)
{
    const CliResult result = runScenario(PatternFlash, {"read", path("chip.bin")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile("chip.bin"), seatedContents(PatternFlash, SmallSize));
    EXPECT_TRUE(contains(result.out, "Read Complete! (")) << result.out;
    EXPECT_TRUE(contains(result.out, "Saved " + path("chip.bin") + " (65536 bytes)"));
    EXPECT_EQ(CountLines(result.err, "Read Flash ... "), 5) << result.err;  // 0, 25, 50, 75, 100 %
}

TEST_F(CliTest, ReadOverwritesAnExistingFileInTheFormOfItsExtension)
{
    writeText("chip.hex", "old");
    const CliResult result = runScenario(PatternFlash, {"--chip", "A25L512", "read", path("chip.hex")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(contains(result.err, "File already exists. Is it covered?  yes"));
    const std::vector<uint8_t> hex = readFile("chip.hex");
    EXPECT_EQ(std::string(hex.begin(), hex.begin() + 9), ":20000000");
}

TEST_F(CliTest, VerifyPassesForTheSeatedContentsAndNamesTheFirstDifference)
{
    std::vector<uint8_t> image = seatedContents(PatternFlash, SmallSize);
    writeFile("same.bin", image);
    const CliResult same = runScenario(PatternFlash, {"verify", path("same.bin")});
    EXPECT_EQ(same.exitCode, 0) << same.err;
    EXPECT_TRUE(contains(same.out, "Verify Complete! ("));

    image[0x1A2B] ^= 0x10;
    writeFile("changed.bin", image);
    const CliResult changed = runScenario(PatternFlash, {"verify", path("changed.bin")});
    EXPECT_EQ(changed.exitCode, 1);
    EXPECT_TRUE(contains(changed.err, "error: Flash check error address:1A2Bh\n")) << changed.err;
    EXPECT_FALSE(contains(changed.out, "Verify Complete!"));
}

TEST_F(CliTest, WriteAndAutoProgramABlankChip)
{
    writeFile("image.bin", seatedContents(PatternFlash, SmallSize));

    const CliResult write = runScenario(SmallFlash, {"write", path("image.bin")});
    EXPECT_EQ(write.exitCode, 0) << write.err;
    EXPECT_TRUE(contains(write.out, "Write Complete! ("));

    // Erase, program and verify in one session: the round trip through the chip.
    const CliResult automatic = runScenario(SmallFlash, {"auto", path("image.bin")});
    EXPECT_EQ(automatic.exitCode, 0) << automatic.err;
    EXPECT_TRUE(contains(automatic.out, "AUTO Complete! ("));
    EXPECT_EQ(CountLines(automatic.err, "Verify Flash ... 100%"), 1);

    // Without erasing, programming can only clear bits: the pattern over the
    // pattern already seated verifies, with no erase step shown.
    const CliResult noErase = runScenario(PatternFlash, {"auto", path("image.bin"), "--no-erase"});
    EXPECT_EQ(noErase.exitCode, 0) << noErase.err;
    EXPECT_EQ(CountLines(noErase.err, "Erase Flash"), 0);
}

TEST_F(CliTest, AutoReportsAFailedVerifyAsFailure)
{
    writeFile("image.bin", seatedContents(PatternFlash, SmallSize));
    // Without erasing, programming cannot set the bits that random contents cleared.
    const std::string random = SmallFlash + "contents random seed=7\n";
    const CliResult mismatch = runScenario(random, {"auto", path("image.bin"), "--no-erase"});
    EXPECT_EQ(mismatch.exitCode, 1);
    EXPECT_TRUE(contains(mismatch.err, "error: Flash check error address:")) << mismatch.err;
    EXPECT_FALSE(contains(mismatch.out, "AUTO Complete!"));
}

struct RefusalCase {
    const char* name;
    std::vector<uint8_t> file;
    std::vector<std::string> arguments;  // after the command and the file
    const char* err;
};

class RefusedWrites : public CliTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedWrites, ExitNonZeroWithoutWriting)
{
    writeFile("image.bin", GetParam().file);
    std::vector<std::string> arguments{"write", path("image.bin")};
    arguments.insert(arguments.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    const CliResult result = runScenario(SmallFlash, arguments);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.err, GetParam().err)) << result.err;
    EXPECT_FALSE(contains(result.out, "Write Complete!"));
    EXPECT_EQ(CountLines(result.err, "Write Flash"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Write, RefusedWrites,
    testing::Values(
        RefusalCase{"EmptyFile", {}, {}, "image.bin holds no data"},
        RefusalCase{"LongerThanTheChip", std::vector<uint8_t>(2 * SmallSize, 0), {}, "longer than the chip"},
        RefusalCase{"RangePastTheChip", std::vector<uint8_t>(16, 0), {"--start", "0", "--end", "0x20000"},
                    "error: The address range reaches outside the chip."},
        RefusalCase{"RangeBackwards", std::vector<uint8_t>(16, 0), {"--start", "300", "--end", "100"},
                    "error: the range start 0x300 lies after its end 0x100"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(CliTest, ChipOptionPicksByNameOrTitleAndRefusesAmbiguousNames)
{
    const CliResult ambiguous = runScenario(SmallFlash, {"--chip", "W25Q64", "blank"});
    EXPECT_EQ(ambiguous.exitCode, 1);
    EXPECT_TRUE(contains(ambiguous.err, "error: the chip \"W25Q64\" is ambiguous")) << ambiguous.err;
    EXPECT_TRUE(contains(ambiguous.err, "\n  SPI_FLASH,Winbond,W25Q64JV\n"));
    EXPECT_TRUE(contains(ambiguous.err, "\n  SPI_FLASH,Winbond,W25Q64FW\n"));

    // An exact name wins over longer names that begin with it (AT25DF021A).
    const CliResult byName = runScenario(SmallFlash, {"--chip", "at25df021", "erase"});
    EXPECT_EQ(byName.exitCode, 0) << byName.err;
    EXPECT_TRUE(contains(byName.out, "Chip: SPI_FLASH,Atmel,AT25DF021 (262144 bytes, page 256)")) << byName.out;

    const CliResult byTitle = runScenario(SmallFlash, {"--chip", "SPI_FLASH,AMIC,A25L512", "erase"});
    EXPECT_EQ(byTitle.exitCode, 0) << byTitle.err;
    EXPECT_TRUE(contains(byTitle.out, "Chip: SPI_FLASH,AMIC,A25L512 (65536 bytes, page 256)"));

    const CliResult unknown = runScenario(SmallFlash, {"--chip", "NoSuchChip", "blank"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(contains(unknown.err, "no chip in the database matches \"NoSuchChip\""));
}

TEST_F(CliTest, ChipCommandsWithoutChipStopForAnEepromFamily)
{
    const CliResult result = runScenario("chip class=1 size=256 page=8\n", {"erase"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.err, "name the chip with --chip")) << result.err;
    EXPECT_EQ(CountLines(result.err, "Erase Flash"), 0);
}

TEST_F(CliTest, BlankAndEraseReportTheChipState)
{
    const CliResult full = runScenario(PatternFlash, {"blank"});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_TRUE(contains(full.err, "error: The chip is not empty.\n"));

    const CliResult erase = runScenario(PatternFlash, {"erase"});
    EXPECT_EQ(erase.exitCode, 0) << erase.err;
    EXPECT_TRUE(contains(erase.out, "Erase Complete! ("));
}

TEST_F(CliTest, AnOperationWithTheProgrammerUnpluggedFails)
{
    const CliResult result = runScenario(SmallFlash + "unplugged\n", {"--chip", "A25L512", "read", path("x.bin")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(CountLines(result.err, "error: Not connected"), 1) << result.err;
    EXPECT_FALSE(std::filesystem::exists(path("x.bin")));
}

}  // namespace
