#include "cli/CliTest.h"

namespace {

// A 64 KiB serial flash the database knows (AMIC A25L512), so that commands
// stay quick; its erase takes 100 ms.
const std::string SmallFlash = "chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 100\n";
const std::string PatternFlash = SmallFlash + "contents pattern\n";
constexpr uint32_t SmallSize = 65536;

struct DetectCase {
    const char* name;
    std::string scenario;
    int exitCode;
    const char* out;
    const char* err;
};

class Detection : public CliTest, public testing::WithParamInterface<DetectCase> {};

TEST_P(Detection, ReportsTheSocketAndExitsZeroOnlyForAKnownChip)
{
    const CliResult result = runScenario(GetParam().scenario, {"detect"});
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.out << result.err;
    EXPECT_EQ(result.out, GetParam().out);
    EXPECT_TRUE(Contains(result.err, GetParam().err)) << result.err;
    EXPECT_FALSE(Contains(result.err, "\n\n")) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Detect, Detection,
    testing::Values(
        DetectCase{"KnownFlash", SmallFlash, 0, "Chip: SPI_FLASH,AMIC,A25L512 (65536 bytes, page 256)\n",
                   "The chip was detected:A25L512\n Chip typeSPI_FLASH\n"},
        DetectCase{"UnknownId", "chip class=0 id=0xC84099 size=65536 page=256\n", 1, "",
                   "error: Unknown chip ID =C8 40 99Please choose the compatibility type manually."},
        DetectCase{"EepromFamily", "chip class=1 size=256 page=8\n", 1, "",
                   "Chip type is detected:24_EEPROM\n Please manually select the corresponding type burn.\n"},
        DetectCase{"EmptySocket", "", 1, "", "error: No chips detected, please put the chip to try again!"}),
    [](const testing::TestParamInfo<DetectCase>& info) { return std::string(info.param.name); });

TEST_F(CliTest, StatusFollowsThePlug)
{
    const CliResult connected = runScenario(SmallFlash, {"status"});
    EXPECT_EQ(connected.exitCode, 0);
    EXPECT_EQ(connected.out, "Connected\n");
    EXPECT_TRUE(Contains(connected.err, "The programmer BelcorU2 is detected")) << connected.err;
    const CliResult unplugged = runScenario(SmallFlash + "unplugged\n", {"status"});
    EXPECT_EQ(unplugged.exitCode, 3);
    EXPECT_EQ(unplugged.out, "Not connected\n");
}

TEST_F(CliTest, ReadOverwritesTheFileWithTheSeatedContents)
{
    writeFile("chip.bin", Bytes("old"));
    const CliResult result = runScenario(PatternFlash, {"read", path("chip.bin")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile("chip.bin"), seatedContents(PatternFlash, SmallSize));
    EXPECT_EQ(result.out, "Saved " + path("chip.bin") + " (65536 bytes)\n");
    EXPECT_TRUE(Contains(result.err, "Read Complete! ("));
    EXPECT_TRUE(Contains(result.err, "File already exists.\n"));
    EXPECT_FALSE(Contains(result.err, "?")) << "the window's question is not shown";
    EXPECT_EQ(CountLines(result.err, "Read Flash ... "), 5) << result.err;  // 0, 25, 50, 75, 100 %
}

TEST_F(CliTest, VerifyPassesForTheSeatedContentsAndNamesTheFirstDifference)
{
    std::vector<uint8_t> image = seatedContents(PatternFlash, SmallSize);
    writeFile("same.bin", image);
    const CliResult same = runScenario(PatternFlash, {"verify", path("same.bin")});
    EXPECT_EQ(same.exitCode, 0) << same.err;
    EXPECT_TRUE(Contains(same.err, "Verify Complete! ("));

    image[0x1A2B] ^= 0x10;
    writeFile("changed.bin", image);
    const CliResult changed = runScenario(PatternFlash, {"verify", path("changed.bin")});
    EXPECT_EQ(changed.exitCode, 1);
    EXPECT_TRUE(Contains(changed.err, "error: Flash check error address:1A2Bh\n")) << changed.err;
    EXPECT_FALSE(Contains(changed.err, "Verify Complete!"));
}

TEST_F(CliTest, WriteAndAutoProgramABlankChip)
{
    writeFile("image.bin", seatedContents(PatternFlash, SmallSize));
    const CliResult write = runScenario(SmallFlash, {"write", path("image.bin")});
    EXPECT_EQ(write.exitCode, 0) << write.err;
    EXPECT_TRUE(Contains(write.err, "Write Complete! ("));

    // Erase, program and verify in one session: the round trip through the chip.
    const CliResult automatic = runScenario(SmallFlash, {"auto", path("image.bin")});
    EXPECT_EQ(automatic.exitCode, 0) << automatic.err;
    EXPECT_TRUE(Contains(automatic.err, "AUTO Complete! ("));
    EXPECT_EQ(CountLines(automatic.err, "Verify Flash ... 100%"), 1);
}

struct RefusalCase {
    const char* name;
    std::string scenario;
    std::vector<uint8_t> file;
    std::vector<std::string> options;
    const char* err;
    int exitCode = 1;
};

class RefusedWrites : public CliTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedWrites, ExitNonZeroWithoutWriting)
{
    writeFile("image.bin", GetParam().file);
    std::vector<std::string> arguments{"write", path("image.bin")};
    arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
    const CliResult result = runScenario(GetParam().scenario, arguments);
    EXPECT_EQ(result.exitCode, GetParam().exitCode);
    EXPECT_TRUE(Contains(result.err, GetParam().err)) << result.err;
    EXPECT_EQ(CountLines(result.err, "Write Flash"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Write, RefusedWrites,
    testing::Values(
        RefusalCase{"EmptyFile", SmallFlash, {}, {}, "image.bin holds no data", 4},
        RefusalCase{"LongerThanTheChip", SmallFlash, std::vector<uint8_t>(2 * SmallSize), {}, "longer than the chip"},
        RefusalCase{"RangePastTheChip", SmallFlash, std::vector<uint8_t>(16), {"--end", "0x20000"},
                    "error: The address range reaches outside the chip."},
        RefusalCase{"RangeBackwards", SmallFlash, std::vector<uint8_t>(16), {"--start", "300", "--end", "100"},
                    "error: the range start 0x300 lies after its end 0x100"},
        RefusalCase{"EepromFamilyWithoutChip", "chip class=1 size=256 page=8\n", std::vector<uint8_t>(16), {},
                    "name it with --chip"},
        RefusalCase{"UnknownIdWithoutChip", "chip class=0 id=0xC84099 size=65536 page=256\n",
                    std::vector<uint8_t>(16), {}, "name it with --chip"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(CliTest, ChipOptionTakesANameOrATitleAndRefusesAmbiguousNames)
{
    // A name that fits several chips is a wrong command line.
    const CliResult ambiguous = runScenario(SmallFlash, {"--chip", "W25Q64", "erase"});
    EXPECT_EQ(ambiguous.exitCode, 2);
    EXPECT_TRUE(Contains(ambiguous.err, "error: the chip \"W25Q64\" is ambiguous")) << ambiguous.err;
    EXPECT_TRUE(Contains(ambiguous.err, "\n  SPI_FLASH,Winbond,W25Q64JV\n  SPI_FLASH,Winbond,W25Q64BV\n"));

    // An exact name wins over longer names that begin with it (AT25DF021A).
    // The seated chip is another one, which only --force erases.
    const CliResult byName = runScenario(SmallFlash, {"--chip", "at25df021", "--force", "erase"});
    EXPECT_EQ(byName.exitCode, 0) << byName.err;
    EXPECT_TRUE(Contains(byName.err, "Chip: SPI_FLASH,Atmel,AT25DF021 (262144 bytes, page 256)")) << byName.err;

    const CliResult byTitle = runScenario(SmallFlash, {"--chip", "SPI_FLASH,AMIC,A25L512", "erase"});
    EXPECT_EQ(byTitle.exitCode, 0) << byTitle.err;
    EXPECT_TRUE(Contains(byTitle.err, "Erase Complete! ("));
}

// --chip finds whatever 'list' finds for the same text: all of them as
// candidates, or the one chip when only one title holds it.
TEST_F(CliTest, ChipOptionFindsEveryChipListFinds)
{
    const std::string eeprom = "chip class=1 size=256 page=8\n";
    const CliResult listed = run({"list", "24C02"});
    const CliResult several = runScenario(eeprom, {"--chip", "24C02", "erase"});
    EXPECT_EQ(several.exitCode, 2);
    EXPECT_EQ(CountLines(listed.out, "24C02"), 4) << listed.out;
    for (size_t start = 0; start < listed.out.size();) {
        const size_t end = listed.out.find('\n', start);
        const std::string line = listed.out.substr(start, end - start);
        const std::string title = line.substr(0, line.find(',', line.find(',', line.find(',') + 1) + 1));
        EXPECT_TRUE(Contains(several.err, "\n  " + title + "\n")) << title << " missing from\n" << several.err;
        start = end + 1;
    }

    const CliResult one = runScenario(eeprom, {"--chip", "24C02B", "erase"});
    EXPECT_EQ(one.exitCode, 0) << one.err;
    EXPECT_TRUE(Contains(one.err, "Chip: 24_EEPROM,Fudan,FM24C02B (256 bytes, page 8)\n")) << one.err;
}

}  // namespace
