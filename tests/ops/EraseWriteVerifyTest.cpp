#include <gtest/gtest.h>

#include <numeric>

#include "ops/Workbench.h"
#include "OpsFixture.h"

namespace {

class EraseTest : public OpsFixture {};

TEST_F(EraseTest, SerialFlashPollsUntilReady)
{
    useChip(chipRecord("SPI_FLASH,T,E", SpiFlash25, 0x10000, 256, 0xEF4014, 100));
    belcor_sim_set_erase_time_ms(1000);

    ASSERT_TRUE(run(Operation::Erase));

    EXPECT_EQ(eraseParameters(), std::vector<uint16_t>{0x8000});
    const size_t polls = commands(CommandBlock::PollStatus).size();
    EXPECT_GT(polls, 1u);
    EXPECT_LT(polls, 102u);
    EXPECT_EQ(host.log, std::vector<std::string>{"Erase Complete! (10:00:00)"});
}

// 100 allowed polls plus the two the loop always makes; a chip still busy then
// has not been erased, whatever the loop's end looks like.
TEST_F(EraseTest, SerialFlashStillBusyAfterItsPollsIsATimeOut)
{
    useChip(chipRecord("SPI_FLASH,T,E", SpiFlash25, 0x10000, 256, 0xEF4014, 100));
    belcor_sim_set_erase_time_ms(0xFFFFFFFF);

    EXPECT_FALSE(run(Operation::Erase));

    EXPECT_EQ(commands(CommandBlock::PollStatus).size(), 102u);
    EXPECT_EQ(lastProgressPosition(), 101u);
    expectFailedWith("The erase did not finish in time; the chip is still busy.");
}

TEST_F(EraseTest, I2cEepromErasesPageByPage)
{
    useChip(chipRecord("24_EEPROM,T,E", I2cEeprom24, 256, 8));

    ASSERT_TRUE(run(Operation::Erase));

    std::vector<uint16_t> expected(32);
    for (size_t i = 0; i < expected.size(); ++i)
        expected[i] = uint16_t(i * 8);
    EXPECT_EQ(eraseParameters(), expected);
    EXPECT_TRUE(commands(CommandBlock::PollStatus).empty());
}

TEST_F(EraseTest, MicrowireEepromGetsOneEraseCarryingTheDelay)
{
    useChip(chipRecord("93_EEPROM,T,E", MicrowireEeprom93, 256, 16, 0, 0x1234));
    ASSERT_TRUE(run(Operation::Erase));
    EXPECT_EQ(eraseParameters(), std::vector<uint16_t>{0x1234});
}

class EraseWithoutCommand : public OpsFixture, public testing::WithParamInterface<uint8_t> {};

TEST_P(EraseWithoutCommand, SendsNothingAndCompletes)
{
    useChip(chipRecord("95_EEPROM,T,E", GetParam(), 256, 16));
    ASSERT_TRUE(run(Operation::Erase));
    EXPECT_EQ(commandOpcodes(), (std::vector<uint8_t>{7, 8}));
    EXPECT_EQ(host.log, std::vector<std::string>{"Erase Complete! (10:00:00)"});
}

INSTANTIATE_TEST_SUITE_P(Families, EraseWithoutCommand, testing::Values(SpiEeprom95, Avr));

class WriteVerifyTest : public OpsFixture {};

TEST_F(WriteVerifyTest, LengthIsRoundedToPagesStoredAndVerified)
{
    useChip(chipRecord("SPI_FLASH,T,W", SpiFlash25, 0x1000, 64, 0xEF4014));
    fillPattern(100);
    workbench.buffers.dataLength = 100;

    ASSERT_TRUE(run(Operation::Write));
    EXPECT_EQ(workbench.buffers.dataLength, 128);
    EXPECT_EQ(addressesOf(dataOf(BELCOR_SIM_EVENT_DATA_OUT)), (std::vector<uint32_t>{0, 64}));
    EXPECT_EQ(commandOpcodes(), (std::vector<uint8_t>{7, 5, 8}));
    EXPECT_EQ(host.log.front(), "Write Complete! (10:00:00)");

    belcor_sim_transcript_clear();
    ASSERT_TRUE(run(Operation::Verify));
    EXPECT_EQ(addressesOf(dataOf(BELCOR_SIM_EVENT_DATA_IN)), (std::vector<uint32_t>{0, 64}));
    EXPECT_EQ(host.log.front(), "Verify Complete! (10:00:00)");
    EXPECT_EQ(host.log.size(), 2u);
}

struct RangeCase {
    const char* name;
    int32_t start, end;
    uint16_t page;
    uint32_t firstAddress;
    std::vector<uint32_t> blocks;
};

class RangeSpans : public OpsFixture, public testing::WithParamInterface<RangeCase> {};

TEST_P(RangeSpans, WriteAndVerifyCoverThePageRoundedSpan)
{
    const RangeCase& c = GetParam();
    useChip(chipRecord("SPI_FLASH,T,W", SpiFlash25, 0x2000, c.page, 0xEF4014));
    fillPattern(0x2000);
    workbench.buffers.dataLength = 0x2000;
    setRange(c.start, c.end);

    for (const Operation operation : {Operation::Write, Operation::Verify}) {
        belcor_sim_transcript_clear();
        ASSERT_TRUE(run(operation)) << lastError();
        EXPECT_EQ(startAddresses(), std::vector<uint32_t>{c.firstAddress});
        EXPECT_EQ(addressesOf(dataTransfers()), c.blocks);
    }
    EXPECT_EQ(host.log.size(), 2u);
    EXPECT_EQ(workbench.buffers.dataLength, 0x2000);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, RangeSpans,
    testing::Values(RangeCase{"PartialPages", 0x123, 0x1FF, 256, 0x100, {0x100}},
                    RangeCase{"EndOnPageBoundary", 0, 0x1000, 256, 0, {0, 0x100, 0x200, 0x300, 0x400, 0x500,
                                                                       0x600, 0x700, 0x800, 0x900, 0xA00, 0xB00,
                                                                       0xC00, 0xD00, 0xE00, 0xF00}},
                    RangeCase{"SmallPagesMoveIn64ByteBlocks", 0x10, 0x5F, 16, 0x10, {0x10, 0x50}},
                    RangeCase{"StartAboveEnd", 0x300, 0x100, 256, 0x300, {}},
                    RangeCase{"StartAboveEndSamePage", 0x250, 0x210, 256, 0x200, {0x200}}),
    [](const auto& info) { return info.param.name; });

struct RefusedRange {
    const char* name;
    int32_t start, end;
};

class RefusedRanges : public OpsFixture, public testing::WithParamInterface<RefusedRange> {};

// A range past the chip or below 0 would stream from outside the buffer or
// program addresses the chip does not have: refused before any block.
TEST_P(RefusedRanges, NoSessionIsOpened)
{
    useChip(chipRecord("SPI_FLASH,T,W", SpiFlash25, 0x1000, 256, 0xEF4014));
    workbench.buffers.dataLength = 0x1000;
    setRange(GetParam().start, GetParam().end);

    for (const Operation operation : {Operation::Write, Operation::Verify, Operation::Auto})
        EXPECT_FALSE(run(operation));

    EXPECT_EQ(host.errorBoxes, std::vector<std::string>(3, "The address range reaches outside the chip."));
    EXPECT_TRUE(transcript().empty());
    EXPECT_TRUE(host.log.empty());
}

INSTANTIATE_TEST_SUITE_P(Ranges, RefusedRanges,
                         testing::Values(RefusedRange{"EndPastChip", 0, 0x1001}, RefusedRange{"NegativeStart", -1, 0xFF},
                                         RefusedRange{"NegativeEnd", 0, int32_t(0x80000000)},
                                         RefusedRange{"FarPastBuffer", 0x7FFFFF00, 0x7FFFFFFF}),
                         [](const auto& info) { return info.param.name; });

TEST_F(WriteVerifyTest, LengthBeyondChipStopsAtChipEnd)
{
    useChip(chipRecord("SPI_FLASH,T,W", SpiFlash25, 0x400, 256, 0xEF4014));
    workbench.buffers.dataLength = 0x10000;
    ASSERT_TRUE(run(Operation::Write));
    EXPECT_EQ(dataOf(BELCOR_SIM_EVENT_DATA_OUT).size(), 4u);
}

TEST_F(WriteVerifyTest, I2cEepromWaitsForItsWriteCycle)
{
    useChip(chipRecord("24_EEPROM,T,W", I2cEeprom24, 256, 8));
    workbench.buffers.dataLength = 256;
    ASSERT_TRUE(run(Operation::Write));
    EXPECT_EQ(host.sleeps.back(), 100u);
}

TEST_F(WriteVerifyTest, FirstByteDifferingReportsAddressZero)
{
    useChip(chipRecord("SPI_FLASH,T,V", SpiFlash25, 0x1000, 256, 0xEF4014));
    flash()[0] = 0x00;
    workbench.buffers.dataLength = 0x10;

    EXPECT_FALSE(run(Operation::Verify));

    expectFailedWith("Flash check error address:0h");
    EXPECT_EQ(host.elapsedTexts.size(), 1u);
}

// The simulator flips nothing on the way; the cell keeps bit 0 set, so the
// byte written as 0x00 reads back as 0x01.
TEST_F(WriteVerifyTest, StuckBitIsFoundByTheAutoVerify)
{
    useChip(chipRecord("SPI_FLASH,T,V", SpiFlash25, 0x1000, 256, 0xEF4014));
    std::fill_n(flash(), 0x1000, 0x00);
    workbench.buffers.dataLength = 0x1000;
    belcor_sim_inject_fault(BELCOR_SIM_STUCK_BIT, 0xA2B);

    EXPECT_FALSE(run(Operation::Auto));

    expectFailedWith("Flash check error address:A2Bh");
    EXPECT_EQ(std::count(host.sleeps.begin(), host.sleeps.end(), 350u), 1);
}

}  // namespace
