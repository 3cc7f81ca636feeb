#include <string>
#include <vector>

#include "cli/CliTest.h"

namespace {

TEST_F(CliTest, BatchProgramsEachChipTheFeederSeats)
{
    // The feeder takes each programmed chip out after 100 ms and seats a blank
    // one 100 ms later.
    const std::string scenario =
        "chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 50\nfeeder on 100\n";
    std::vector<uint8_t> image(4096);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i);
    writeFile("image.bin", image);

    const CliResult result = runScenario(scenario, {"batch", path("image.bin"), "--count", "2"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(CountLines(result.out, "AUTO Complete! ("), 2) << result.out;
    EXPECT_EQ(CountLines(result.out, "Batch: 2 chips done, 0 failed"), 1);
}

}  // namespace
