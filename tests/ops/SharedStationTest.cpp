#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "buffers/BufferSet.h"
#include "ops/OpsFixture.h"
#include "ops/SeatWorker.h"
#include "ops/StreamSpans.h"
#include "support/RecordingHost.h"

namespace {

// Programmers of one station share the catalogue and the image: Auto on each,
// from threads of their own, programs every chip and leaves the image as it was.
class SharedStationTest : public OpsFixture {};

TEST_F(SharedStationTest, AutoOnEveryProgrammerAtOnceReadsTheSharedImageOnly)
{
    constexpr int kProgrammers = 3;
    constexpr uint32_t kSize = 0x4000;
    const ChipRecord chip = chipRecord("SPI_FLASH,T,F", SpiFlash25, kSize, 256, 0xEF4014);
    useChip(chip);
    for (int number = 2; number <= kProgrammers; ++number) {
        belcor_sim_add_device(BELCOR_SIM_SECOND_PROGRAMMER);
        const belcor_sim_chip seated{chip.chipClass, chip.chipId, chip.flashSize, chip.flashPage};
        ASSERT_EQ(belcor_sim_seat_chip_at(number, &seated), 0);
    }
    fillPattern(kSize - 100);
    workbench.buffers.dataLength = kSize - 100;
    RoundDataLengthToPages(workbench.buffers, chip);
    const std::vector<uint8_t> image(flash(), flash() + kSize);

    std::vector<std::unique_ptr<SeatWorker>> workers;
    std::vector<const RecordingHost*> hosts;
    std::vector<int> results(kProgrammers, 0);
    for (int number = 1; number <= kProgrammers; ++number) {
        auto host = std::make_unique<RecordingHost>();
        hosts.push_back(host.get());
        workers.push_back(
            std::make_unique<SeatWorker>(workbench, "BU2SIM000000" + std::to_string(number), std::move(host)));
    }
    for (size_t i = 0; i < workers.size(); ++i) {
        SeatWorker& worker = *workers[i];
        worker.start([&worker, &result = results[i]] {
            result = RunOperation(worker.workbench(), worker.host(), Operation::Auto);
        });
    }
    for (const std::unique_ptr<SeatWorker>& worker : workers)
        worker->join();

    for (int number = 1; number <= kProgrammers; ++number) {
        EXPECT_TRUE(results[size_t(number - 1)]) << "programmer " << number << ": "
                                                  << testing::PrintToString(hosts[size_t(number - 1)]->errorBoxes);
        std::vector<uint8_t> contents(kSize);
        ASSERT_EQ(belcor_sim_chip_read_at(number, 0, contents.data(), kSize), int(kSize));
        EXPECT_EQ(contents, image) << "programmer " << number;
    }
    EXPECT_EQ(std::vector<uint8_t>(flash(), flash() + kSize), image);
    EXPECT_EQ(workbench.buffers.dataLength, int32_t(kSize));
    EXPECT_FALSE(workbench.busy);
}

}  // namespace
