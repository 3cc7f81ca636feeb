#include <gtest/gtest.h>

#include <cstdio>

#include "OpsFixture.h"

namespace {

struct EraseCase {
    const char* name;
    ChipRecord chip;
    std::vector<uint32_t> parameters;
};

class EraseFamilies : public OpsFixture, public testing::WithParamInterface<EraseCase> {};

TEST_P(EraseFamilies, SendTheFamilysEraseCommands)
{
    useChip(GetParam().chip);
    ASSERT_TRUE(run(Operation::Erase));
    EXPECT_EQ(fieldOf(CommandBlock::Erase, 26, 2), GetParam().parameters);
    EXPECT_EQ(host.log, std::vector<std::string>{"Erase Complete! (10:00:00)"});
}

std::vector<uint32_t> everyEighthTo256()
{
    std::vector<uint32_t> addresses;
    for (uint32_t address = 0; address < 256; address += 8)
        addresses.push_back(address);
    return addresses;
}

INSTANTIATE_TEST_SUITE_P(
    Classes, EraseFamilies,
    testing::Values(EraseCase{"SerialFlash", chipRecord("S,T,E", SpiFlash25, 0x10000, 256, 0xEF4014), {0x8000}},
                    EraseCase{"I2cPages", chipRecord("24,T,E", I2cEeprom24, 256, 8), everyEighthTo256()},
                    EraseCase{"MicrowireDelay", chipRecord("93,T,E", MicrowireEeprom93, 128, 16, 0, 0x1234), {0x1234}},
                    EraseCase{"SpiEepromWrittenBlank", chipRecord("95,T,E", SpiEeprom95, 1024, 32), {}}),
    [](const auto& info) { return info.param.name; });

// 100 allowed polls plus the two the loop always makes; a chip still busy then
// has not been erased.
TEST_F(OpsFixture, SerialFlashStillBusyAfterItsPollsIsATimeOut)
{
    useFlash();
    belcor_sim_set_erase_time_ms(0xFFFFFFFF);

    EXPECT_FALSE(run(Operation::Erase));

    EXPECT_EQ(commands(CommandBlock::PollStatus).size(), 102u);
    EXPECT_EQ(lastProgressPosition(), 101u);
    expectFailedWith("The erase did not finish in time; the chip is still busy.");
}

TEST_F(OpsFixture, WriteStoresThePageRoundedLengthThatVerifyThenCovers)
{
    useFlash(0x1000, 64);
    fillPattern(100);
    workbench.buffers.dataLength = 100;

    ASSERT_TRUE(run(Operation::Write));
    EXPECT_EQ(workbench.buffers.dataLength, 128);
    EXPECT_EQ(blockAddresses(BELCOR_SIM_EVENT_DATA_OUT), (std::vector<uint32_t>{0, 64}));
    ASSERT_TRUE(run(Operation::Verify));
    EXPECT_EQ(blockAddresses(BELCOR_SIM_EVENT_DATA_IN), (std::vector<uint32_t>{0, 64}));
    EXPECT_EQ(host.log, (std::vector<std::string>{"Verify Complete! (10:00:00)", "Write Complete! (10:00:00)"}));
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
    useFlash(0x2000, c.page);
    fillPattern(0x2000);
    workbench.buffers.range = {c.start, c.end, true};

    for (const Operation operation : {Operation::Write, Operation::Verify}) {
        belcor_sim_transcript_clear();
        workbench.buffers.dataLength = 0x2000;
        ASSERT_TRUE(run(operation)) << lastError();
        EXPECT_EQ(fieldOf(CommandBlock::SetAddress, 8, 4), std::vector<uint32_t>{c.firstAddress});
        EXPECT_EQ(blockAddresses(), c.blocks);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, RangeSpans,
    testing::Values(RangeCase{"PartialPages", 0x123, 0x1FF, 256, 0x100, {0x100}},
                    RangeCase{"EndOnPageBoundary", 0x100, 0x300, 256, 0x100, {0x100, 0x200}},
                    RangeCase{"SmallPagesMoveIn64ByteBlocks", 0x10, 0x5F, 16, 0x10, {0x10, 0x50}},
                    RangeCase{"StartAboveEndInOnePage", 0x250, 0x210, 256, 0x200, {0x200}}),
    [](const auto& info) { return info.param.name; });

class RefusedRanges : public OpsFixture, public testing::WithParamInterface<std::pair<int32_t, int32_t>> {};

// Past the chip or below 0 the stream would leave the buffer or the chip.
TEST_P(RefusedRanges, OpenNoSession)
{
    useFlash();
    workbench.buffers.dataLength = 0x1000;
    workbench.buffers.range = {GetParam().first, GetParam().second, true};

    for (const Operation operation : {Operation::Write, Operation::Verify, Operation::Auto})
        EXPECT_FALSE(run(operation));

    EXPECT_EQ(host.errorBoxes, std::vector<std::string>(3, "The address range reaches outside the chip."));
    EXPECT_TRUE(transcript().empty());
}

INSTANTIATE_TEST_SUITE_P(Ranges, RefusedRanges,
                         testing::Values(std::pair{0, 0x1001}, std::pair{-1, 0xFF}, std::pair{0, INT32_MIN},
                                         std::pair{0x7FFFFF00, INT32_MAX}),
                         [](const auto& info) {
                             char name[32];
                             std::snprintf(name, sizeof name, "From%XTo%X", static_cast<uint32_t>(info.param.first),
                                           static_cast<uint32_t>(info.param.second));
                             return std::string(name);
                         });

TEST_F(OpsFixture, I2cEepromWriteWaitsForTheWriteCycle)
{
    useChip(chipRecord("24,T,W", I2cEeprom24, 256, 8));
    workbench.buffers.dataLength = 256;
    ASSERT_TRUE(run(Operation::Write));
    EXPECT_EQ(host.sleeps.back(), 100u);
}

TEST_F(OpsFixture, VerifyReportsTheFirstDifferingAddress)
{
    useFlash();
    flash()[0] = 0x00;
    workbench.buffers.dataLength = 0x10;

    EXPECT_FALSE(run(Operation::Verify));

    expectFailedWith("Flash check error address:0h");
    EXPECT_EQ(host.elapsedTexts.size(), 1u);
}

// The cell keeps bit 0 set, so the byte written as 0x00 reads back as 0x01.
TEST_F(OpsFixture, StuckBitIsFoundByTheAutoVerify)
{
    useFlash();
    std::fill_n(flash(), 0x1000, 0x00);
    workbench.buffers.dataLength = 0x1000;
    belcor_sim_inject_fault(BELCOR_SIM_STUCK_BIT, 0xA2B);

    EXPECT_FALSE(run(Operation::Auto));

    expectFailedWith("Flash check error address:A2Bh");
}

}  // namespace
