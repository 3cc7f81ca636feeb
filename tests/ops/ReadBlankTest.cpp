#include <gtest/gtest.h>

#include "ops/Workbench.h"
#include "OpsFixture.h"

namespace {

struct BlockCase {
    const char* name;
    uint32_t size;
    uint16_t page;
    uint32_t block;
};

class ReadBlocks : public OpsFixture, public testing::WithParamInterface<BlockCase> {};

TEST_P(ReadBlocks, StreamsWholeChipInBlocksOfAtLeast64Bytes)
{
    const BlockCase& c = GetParam();
    useChip(chipRecord("SPI_FLASH,T,R", SpiFlash25, c.size, c.page, 0xEF4014));

    ASSERT_TRUE(run(Operation::Read));

    const std::vector<belcor_sim_event> reads = dataOf(BELCOR_SIM_EVENT_DATA_IN);
    ASSERT_EQ(reads.size(), c.size / c.block);
    for (size_t i = 0; i < reads.size(); ++i) {
        EXPECT_EQ(reads[i].length, c.block);
        EXPECT_EQ(reads[i].address, i * c.block);
    }
    EXPECT_EQ(commandOpcodes(), (std::vector<uint8_t>{7, 5, 8}));
    EXPECT_EQ(startAddresses(), std::vector<uint32_t>{0});
    EXPECT_EQ(lastProgressPosition(), c.size - c.block);
    EXPECT_EQ(host.progressCalls.back().kind, RecordingHost::ProgressCall::Hide);
}

INSTANTIATE_TEST_SUITE_P(Pages, ReadBlocks,
                         testing::Values(BlockCase{"Page8", 2048, 8, 64}, BlockCase{"Page16", 2048, 16, 64},
                                         BlockCase{"Page128", 4096, 128, 128},
                                         BlockCase{"Page256", 4096, 256, 256}),
                         [](const auto& info) { return info.param.name; });

class ReadTest : public OpsFixture {};

TEST_F(ReadTest, FillsBufferAndTrimsTrailingErasedBytesToAnEvenLength)
{
    useChip(chipRecord("SPI_FLASH,T,R", SpiFlash25, 0x2000, 256, 0xEF4014));
    const uint8_t last[] = {0x12};
    belcor_sim_chip_write(0x1234, last, 1);

    ASSERT_TRUE(run(Operation::Read));

    EXPECT_EQ(flash()[0x1234], 0x12);
    EXPECT_EQ(workbench.buffers.dataLength, 0x1236);
    EXPECT_EQ(host.flashBufferChanges, std::vector<uint32_t>{0x2000});
    EXPECT_EQ(host.log, std::vector<std::string>{"Read Complete! (10:00:00)"});
    EXPECT_EQ(host.state(), "Connected");
    EXPECT_EQ(host.beepCount, 1);
    EXPECT_EQ(host.elapsedTexts.size(), 1u);
}

TEST_F(ReadTest, ErasedChipLeavesNoDataSoVerifyThenDoesNothing)
{
    useChip(chipRecord("SPI_FLASH,T,R", SpiFlash25, 0x1000, 256, 0xEF4014));
    ASSERT_TRUE(run(Operation::Read));
    EXPECT_EQ(workbench.buffers.dataLength, 0);

    belcor_sim_transcript_clear();
    EXPECT_FALSE(run(Operation::Verify));
    EXPECT_TRUE(transcript().empty());
    EXPECT_EQ(host.elapsedTexts.size(), 1u);
}

struct SizeCase {
    uint32_t size;
    int fourByteCommands;
};

class FourByteMode : public OpsFixture, public testing::WithParamInterface<SizeCase> {};

// Above 16 MiB the chip's addresses need four bytes: 0xB7 goes first, for
// every streaming operation, never for the erase.
TEST_P(FourByteMode, SentBeforeStreamsOnlyAbove16MiB)
{
    belcor_sim_set_transcript_enabled(0);
    useChip(chipRecord("SPI_FLASH,T,Big", SpiFlash25, GetParam().size, 256, 0xEF4019));
    for (const Operation operation :
         {Operation::Read, Operation::BlankCheck, Operation::Erase, Operation::Write, Operation::Verify}) {
        belcor_sim_transcript_clear();
        workbench.buffers.dataLength = 0x100;
        ASSERT_TRUE(run(operation)) << lastError();
        const int expected = operation == Operation::Erase ? 0 : GetParam().fourByteCommands;
        EXPECT_EQ(fourByteCommands(), expected) << int(operation);
        if (expected != 0) {
            EXPECT_EQ(commandOpcodes()[1], CommandBlock::ChipCommand);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FourByteMode, testing::Values(SizeCase{0x1000000, 0}, SizeCase{0x2000000, 1}));

class BlankCheckTest : public OpsFixture {};

TEST_F(BlankCheckTest, ErasedChipPasses)
{
    useChip(chipRecord("SPI_FLASH,T,B", SpiFlash25, 0x1000, 16, 0xEF4014));
    ASSERT_TRUE(run(Operation::BlankCheck));
    EXPECT_EQ(dataOf(BELCOR_SIM_EVENT_DATA_IN).size(), 0x1000u / 64);
    EXPECT_EQ(host.log, std::vector<std::string>{"Bank Complete! (10:00:00)"});
    EXPECT_TRUE(host.errorBoxes.empty());
}

TEST_F(BlankCheckTest, LastByteWrittenFailsOnlyAtTheLastBlock)
{
    useChip(chipRecord("SPI_FLASH,T,B", SpiFlash25, 0x1000, 256, 0xEF4014));
    const uint8_t zero[] = {0};
    belcor_sim_chip_write(0xFFF, zero, 1);
    const uint8_t before = flash()[0];

    EXPECT_FALSE(run(Operation::BlankCheck));

    expectFailedWith("The chip is not empty.");
    EXPECT_EQ(lastProgressPosition(), 0xE00u);
    EXPECT_EQ(host.elapsedTexts.size(), 1u);
    EXPECT_EQ(host.beepCount, 1);
    EXPECT_EQ(flash()[0], before);
}

}  // namespace
