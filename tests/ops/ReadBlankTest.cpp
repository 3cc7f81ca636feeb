#include <gtest/gtest.h>

#include "OpsFixture.h"

namespace {

struct BlockCase {
    const char* name;
    uint32_t size;
    uint16_t page;
    uint32_t block;
};

class ReadBlocks : public OpsFixture, public testing::WithParamInterface<BlockCase> {};

TEST_P(ReadBlocks, StreamWholeChipInBlocksOfAtLeast64Bytes)
{
    const BlockCase& c = GetParam();
    useFlash(c.size, c.page);

    ASSERT_TRUE(run(Operation::Read));

    std::vector<uint32_t> expected;
    for (uint32_t address = 0; address < c.size; address += c.block)
        expected.push_back(address);
    EXPECT_EQ(blockAddresses(), expected);
    EXPECT_EQ(dataTransfers().front().length, c.block);
    EXPECT_EQ(commandOpcodes(), (std::vector<uint8_t>{7, 5, 8}));
    EXPECT_EQ(lastProgressPosition(), c.size - c.block);
}

INSTANTIATE_TEST_SUITE_P(Pages, ReadBlocks,
                         testing::Values(BlockCase{"Page8", 2048, 8, 64}, BlockCase{"Page16", 2048, 16, 64},
                                         BlockCase{"Page256", 4096, 256, 256}),
                         [](const auto& info) { return info.param.name; });

TEST_F(OpsFixture, ReadTrimsTrailingErasedBytesToAnEvenLength)
{
    useFlash(0x2000);
    const uint8_t last[] = {0x12};
    belcor_sim_chip_write(0x1234, last, 1);

    ASSERT_TRUE(run(Operation::Read));

    EXPECT_EQ(flash()[0x1234], 0x12);
    EXPECT_EQ(workbench.buffers.dataLength, 0x1236);
    EXPECT_EQ(host.flashBufferChanges, std::vector<uint32_t>{0x2000});
    EXPECT_EQ(host.log, std::vector<std::string>{"Read Complete! (10:00:00)"});
    EXPECT_EQ(host.state(), "Connected");
}

class FourByteMode : public OpsFixture, public testing::WithParamInterface<uint32_t> {};

// Above 16 MiB addresses need four bytes: 0xB7 leads every stream, never the erase.
TEST_P(FourByteMode, LeadsStreamsOnlyAbove16MiB)
{
    belcor_sim_set_transcript_enabled(0);
    useFlash(GetParam());
    const bool large = GetParam() > 0x1000000;
    for (const Operation operation :
         {Operation::Read, Operation::BlankCheck, Operation::Erase, Operation::Write, Operation::Verify}) {
        belcor_sim_transcript_clear();
        workbench.buffers.dataLength = 0x100;
        ASSERT_TRUE(run(operation)) << lastError();
        const bool expected = large && operation != Operation::Erase;
        EXPECT_EQ(fieldOf(CommandBlock::ChipCommand, 3, 2), expected ? std::vector<uint32_t>{0x1B7}
                                                                     : std::vector<uint32_t>{});
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FourByteMode, testing::Values(0x1000000u, 0x2000000u),
                         [](const auto& info) { return "Size" + std::to_string(info.param >> 20) + "MiB"; });

TEST_F(OpsFixture, BlankCheckFailsOnlyAtTheLastBlock)
{
    useFlash();
    const uint8_t zero[] = {0};
    belcor_sim_chip_write(0xFFF, zero, 1);

    EXPECT_FALSE(run(Operation::BlankCheck));

    expectFailedWith("The chip is not empty.");
    EXPECT_EQ(lastProgressPosition(), 0xE00u);
    EXPECT_EQ(host.elapsedTexts.size(), 1u);
    EXPECT_EQ(host.beepCount, 1);
}

}  // namespace
