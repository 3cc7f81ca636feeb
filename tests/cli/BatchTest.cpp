#include "cli/CliTest.h"

namespace {

// The feeder takes each programmed chip out after 100 ms and seats a blank one
// 100 ms later.
const std::string FedFlash = "chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 50\nfeeder on 100\n";
// Nobody takes the programmed chip out: Ctrl-C after its completion line
// always finds the batch waiting for that, never on a second chip.
const std::string KeptFlash = "chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 50\n";

TEST_F(CliTest, BatchProgramsEachChipTheFeederSeats)
{
    writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
    const CliResult result = runScenario(FedFlash, {"batch", path("image.bin"), "--count", "2"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(CountLines(result.err, "AUTO Complete! ("), 2) << result.err;
    EXPECT_EQ(CountLines(result.out, "Batch: 2 chips done, 0 failed"), 1);
}

TEST_F(CliTest, BatchWithoutCountEndsCleanlyOnCtrlC)
{
    writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
    writeFile("kept.scenario", Bytes(KeptFlash));
    const CliResult result = interruptOnceOutput(
        {"--simulator=" + path("kept.scenario"), "batch", path("image.bin")}, "AUTO Complete! (");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // The chip in hand is finished, and none is started after the signal.
    EXPECT_EQ(CountLines(result.out, "Batch: 1 chip done, 0 failed"), 1) << result.out;
}

// A count past 2^31 was cast to a negative int: the batch ended at once,
// nothing done, and exited 0.
TEST_F(CliTest, BatchCountsPast32Bits)
{
    writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
    writeFile("kept.scenario", Bytes(KeptFlash));
    const CliResult result = interruptOnceOutput(
        {"--simulator=" + path("kept.scenario"), "batch", path("image.bin"), "--count", "3000000000"},
        "AUTO Complete! (");
    EXPECT_TRUE(Contains(result.out, "Batch: waiting for 3000000000 chips")) << result.out;
    EXPECT_EQ(CountLines(result.out, "Batch: 1 chip done, 0 failed"), 1) << result.out;
    EXPECT_EQ(result.exitCode, 1);
}

struct RefusedChipCase {
    const char* name;
    const char* scenario;
    std::vector<std::string> options;
    const char* message;
};

class RefusedChip : public CliTest, public testing::WithParamInterface<RefusedChipCase> {};

// The refused chip stays in the socket: the batch waited for ever for it to
// be taken out.
TEST_P(RefusedChip, EndsThePlainBatchWithItsMessage)
{
    writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
    std::vector<std::string> arguments{"--chip", "A25L512"};
    arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
    arguments.insert(arguments.end(), {"batch", path("image.bin"), "--count", "2"});
    const CliResult result = runScenario(GetParam().scenario, arguments);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(Contains(result.err, GetParam().message)) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusedChip,
    testing::Values(RefusedChipCase{"AnotherId", "chip class=0 id=0xEF4014 size=65536 page=256\n", {},
                                    "the batch stops rather than wait"},
                    RefusedChipCase{"RangePastTheChip", "chip class=0 id=0x373010 size=65536 page=256\n",
                                    {"--start", "0", "--end", "0x1FFFF"}, "The address range reaches outside the chip"}),
    [](const testing::TestParamInfo<RefusedChipCase>& info) { return std::string(info.param.name); });

}  // namespace
