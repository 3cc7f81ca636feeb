#include <algorithm>
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
    // Identify and its EndSession, then the session.
    EXPECT_EQ(commandOpcodes(), (std::vector<uint8_t>{9, 8, 7, 5, 8}));
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

class AboveSixteenMiB : public OpsFixture, public testing::WithParamInterface<uint32_t> {};

// Data written across the 16 MiB line and at the chip's top must land at its
// own address (not 16 MiB lower, as three address bytes would put it) and
// read back from there.
TEST_P(AboveSixteenMiB, DataLandsAndReadsBackAtItsAddress)
{
    belcor_sim_set_transcript_enabled(0);
    const uint32_t size = GetParam();
    useFlash(size);
    const std::vector<std::pair<uint32_t, uint32_t>> ranges{{0xFFFF00, 0x10001FF}, {size - 0x200, size - 1}};
    for (const auto& [start, end] : ranges) {
        for (uint32_t address = start; address <= end; ++address)
            flash()[address] = uint8_t(address * 7 + (address >> 24) + 3);
        workbench.buffers.dataLength = int32_t(size);
        workbench.buffers.range = {int32_t(start), int32_t(end), true};
        ASSERT_TRUE(run(Operation::Write)) << lastError();
    }
    const std::vector<uint8_t> image(flash(), flash() + size);
    std::vector<uint8_t> chip(size);
    ASSERT_EQ(belcor_sim_chip_read(0, chip.data(), size), int(size));
    EXPECT_TRUE(chip == image) << "the chip holds other bytes than the buffer";
    EXPECT_EQ(std::count(chip.begin(), chip.begin() + 0xFFFF00, 0xFF), 0xFFFF00) << "data wrapped below 16 MiB";

    std::fill_n(flash(), size, 0x00);
    ASSERT_TRUE(run(Operation::Read)) << lastError();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash())) << "read back other bytes";
}

INSTANTIATE_TEST_SUITE_P(Sizes, AboveSixteenMiB, testing::Values(0x2000000u, 0x4000000u),
                         [](const auto& info) { return info.param == 0x2000000u ? "32MiB" : "64MiB"; });

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
