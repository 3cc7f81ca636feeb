#include "cli/CliTest.h"

namespace {

// The database's 64 KiB A25L512, seated holding old.bin; board.layout names
// a boot region (the first 16 KiB) and an app region (the rest).
const std::string HoldingOld = "chip class=0 id=0x373010 size=65536 page=256\ncontents file=old.bin\n";
constexpr uint32_t Size = 65536;

class RegionCommands : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        old.resize(Size);
        for (uint32_t i = 0; i < Size; ++i)
            old[i] = uint8_t(i * 7 + 3);
        writeFile("old.bin", old);
        writeFile("new.bin", std::vector<uint8_t>(Size, 0xA5));
        writeFile("board.layout", Bytes("# board\n00000000:00003fff boot\n00004000:0000ffff app\n"
                                        "00010000:0001ffff beyond\n"));
        writeFile("boot.bin", std::vector<uint8_t>(0x2000, 0x11));
        writeFile("app.bin", std::vector<uint8_t>(0x8000, 0x22));
    }
    std::vector<std::string> withPaths(std::vector<std::string> arguments) const
    {
        for (std::string& argument : arguments) {
            for (const char* file : {"new.bin", "board.layout", "boot.bin", "app.bin", "j.belcorjob"}) {
                if (argument.starts_with(file))
                    argument = path(file) + argument.substr(std::string(file).size());
            }
        }
        return arguments;
    }
    std::vector<uint8_t> old;
};

// The boot region's four sectors are erased and programmed, the rest skipped;
// a chip whose boot region alone matches passes a verify of that region only.
TEST_F(RegionCommands, WriteWorksOnlyTheRegionAndVerifyChecksOnlyIt)
{
    const CliResult written =
        runScenario(HoldingOld, withPaths({"write", "new.bin", "--layout", "board.layout", "--region", "boot"}));
    ASSERT_EQ(written.exitCode, 0) << written.out << written.err;
    EXPECT_EQ(written.out, "Update Complete! Sectors: 12 skipped, 0 programmed, 4 erased.\n");

    std::vector<uint8_t> bootWritten = old;
    std::fill_n(bootWritten.begin(), 0x4000, 0xA5);
    writeFile("old.bin", bootWritten);
    const auto verify = [&](const char* region) {
        return runScenario(HoldingOld, withPaths({"verify", "new.bin", "--layout", "board.layout", "--region", region}))
            .exitCode;
    };
    EXPECT_EQ(verify("boot"), 0);
    EXPECT_EQ(verify("app"), 1);
}

struct RefusalCase {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
    const char* err;
};

class RegionRefusal : public RegionCommands, public testing::WithParamInterface<RefusalCase> {};

TEST_P(RegionRefusal, NamesTheFault)
{
    const CliResult result = runScenario(HoldingOld, withPaths(GetParam().arguments));
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.out << result.err;
    EXPECT_TRUE(Contains(result.err, GetParam().err)) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    , RegionRefusal,
    testing::Values(
        RefusalCase{"RegionWithoutLayout", {"write", "new.bin", "--region", "boot"}, 2, "--region needs --layout FILE"},
        RefusalCase{"UnknownRegion", {"verify", "new.bin", "--layout", "board.layout", "--region", "data"}, 2,
                    "names no region \"data\""},
        RefusalCase{"RegionPastTheChip", {"auto", "new.bin", "--layout", "board.layout", "--region", "beyond"}, 2,
                    "The region beyond (10000h to 1FFFFh) passes the chip's end (10000h)."},
        RefusalCase{"RegionOnRead", {"read", "new.bin", "--layout", "board.layout", "--region", "boot"}, 2,
                    "--region applies only to write, verify, auto and update"},
        RefusalCase{"RegionWithoutVerify",
                    {"auto", "new.bin", "--no-verify", "--layout", "board.layout", "--region", "boot"}, 2,
                    "--no-erase and --no-verify do not apply"},
        RefusalCase{"ImagesOverlap",
                    {"job", "create", "j.belcorjob", "--chip", "A25L512", "--image", "boot.bin@0",
                     "--image", "app.bin@1FFF"},
                    2, "overlap at 1FFFh"},
        RefusalCase{"ImagePastTheChip",
                    {"job", "create", "j.belcorjob", "--chip", "A25L512", "--image", "app.bin@9000"}, 2,
                    "at 9000h passes the chip's end (10000h)"},
        RefusalCase{"ImageAtNoPlace",
                    {"job", "create", "j.belcorjob", "--chip", "A25L512", "--image", "boot.bin@start"}, 2,
                    "\"start\" is neither a hexadecimal address nor a region of the layout"},
        RefusalCase{"StatusValueTooLarge", {"status-register", "--set", "100"}, 2,
                    "--set needs a hexadecimal value from 00 to FF"},
        RefusalCase{"StatusValueElsewhere", {"detect", "--set", "1C"}, 2, "--set applies only to status-register"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegionCommands, TwoRegionJobFromALayoutListsBothImages)
{
    const CliResult made = run(withPaths({"job", "create", "j.belcorjob", "--chip", "A25L512", "--layout",
                                          "board.layout", "--image", "boot.bin@boot", "--image", "app.bin@app"}));
    ASSERT_EQ(made.exitCode, 0) << made.out << made.err;

    const CliResult shown = run({"job", "show", path("j.belcorjob")});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_TRUE(Contains(shown.out, "Image: boot.bin at 0x0 (SHA-256 ")) << shown.out;
    EXPECT_TRUE(Contains(shown.out, "Image: app.bin at 0x4000 (SHA-256 ")) << shown.out;
}

TEST_F(RegionCommands, StatusRegisterIsShownBitByBitAndWrittenWithSet)
{
    const CliResult set = runScenario(HoldingOld, {"status-register", "--set", "0x9C"});
    ASSERT_EQ(set.exitCode, 0) << set.out << set.err;
    EXPECT_TRUE(Contains(set.out, "Status register: 9Ch\n  bit 7  SRP  1  Status register protect")) << set.out;
    EXPECT_TRUE(Contains(set.out, "  bit 2  BP0  1  Block protection\n  bit 1  WEL  0")) << set.out;

    const CliResult read = runScenario(HoldingOld + "status_register 0x20\n", {"status-register"});
    ASSERT_EQ(read.exitCode, 0) << read.out << read.err;
    EXPECT_TRUE(Contains(read.out, "Status register: 20h\n")) << read.out;
    EXPECT_TRUE(Contains(read.out, "  bit 5  TB   1  ")) << read.out;
}

}  // namespace
