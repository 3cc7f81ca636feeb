#include "cli/CliTest.h"

namespace {

// The feeder takes each programmed chip out after 100 ms and seats a blank one
// 100 ms later.
const std::string FedFlash = "chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 50\nfeeder on 100\n";

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
    writeFile("fed.scenario", Bytes(FedFlash));
    const CliResult result = interruptOnceOutput(
        {"--simulator=" + path("fed.scenario"), "batch", path("image.bin")}, "AUTO Complete! (");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // The chip in hand is finished, and none is started after the signal.
    EXPECT_EQ(CountLines(result.out, "Batch: 1 chip done, 0 failed"), 1) << result.out;
}

}  // namespace
