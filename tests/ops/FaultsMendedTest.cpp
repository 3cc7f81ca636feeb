#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "OpsFixture.h"
#include "buffers/BufferSet.h"

namespace {

class FaultsMended : public OpsFixture {
protected:
    static std::vector<uint8_t> chipContents(uint32_t size)
    {
        std::vector<uint8_t> bytes(size);
        EXPECT_EQ(belcor_sim_chip_read(0, bytes.data(), size), int(size));
        return bytes;
    }
    static void fillChip(uint32_t size, uint8_t value)
    {
        const std::vector<uint8_t> bytes(size, value);
        ASSERT_EQ(belcor_sim_chip_write(0, bytes.data(), size), int(size));
    }
};

// A 24C02 moves 64-byte blocks over 8-byte pages: the range 08..17 must not
// carry buffer bytes onto the chip beyond 17, nor compare them.
TEST_F(FaultsMended, WriteVerifyAndAutoStayInsideTheRange)
{
    useChip(chipRecord("24,T,24C02", I2cEeprom24, 256, 8));
    fillChip(256, 0x5A);
    fillPattern(256);
    workbench.buffers.dataLength = 256;
    workbench.buffers.range = {0x08, 0x17, true};

    ASSERT_TRUE(run(Operation::Write)) << lastError();
    ASSERT_TRUE(run(Operation::Verify)) << lastError();
    ASSERT_TRUE(run(Operation::Auto, {false, true, true})) << lastError();

    std::vector<uint8_t> expected(256, 0x5A);
    std::copy(flash() + 0x08, flash() + 0x18, expected.begin() + 0x08);
    EXPECT_EQ(chipContents(256), expected);
    for (const belcor_sim_event& block : dataTransfers()) {
        EXPECT_EQ(block.address, 0x08u);
        EXPECT_EQ(block.length, 0x10u);
    }
}

struct EmptyRangeCase {
    const char* name;
    int32_t start, end;
    Operation operation;
};

class FaultsMendedEmptyRange : public FaultsMended, public testing::WithParamInterface<EmptyRangeCase> {};

// Nothing would be written or compared, yet the operation would log its
// completion: refused before the session instead.
TEST_P(FaultsMendedEmptyRange, IsRefusedNotReportedComplete)
{
    useFlash(0x1000, 256);
    workbench.buffers.dataLength = 0x1000;
    workbench.buffers.range = {GetParam().start, GetParam().end, true};

    EXPECT_FALSE(run(GetParam().operation));

    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"The address range covers no page: its start lies above its "
                                                        "end, or it ends where a page begins. There is nothing to "
                                                        "write or verify."});
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(transcript().empty());
}

INSTANTIATE_TEST_SUITE_P(
    FaultsMended, FaultsMendedEmptyRange,
    testing::Values(EmptyRangeCase{"WriteStartAboveEnd", 0x300, 0x100, Operation::Write},
                    EmptyRangeCase{"VerifyStartAboveEnd", 0x300, 0x100, Operation::Verify},
                    EmptyRangeCase{"AutoStartAboveEnd", 0x300, 0x100, Operation::Auto},
                    EmptyRangeCase{"WriteOneByteOnAPageBoundary", 0x100, 0x100, Operation::Write}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FaultsMended, EraseWritesA95SeriesChipBlankAndReadsItBack)
{
    useChip(chipRecord("95,T,M95080", SpiEeprom95, 1024, 32));
    fillChip(1024, 0x00);

    ASSERT_TRUE(run(Operation::Erase)) << lastError();

    EXPECT_EQ(chipContents(1024), std::vector<uint8_t>(1024, 0xFF));
    EXPECT_EQ(blockAddresses(BELCOR_SIM_EVENT_DATA_OUT).size(), 16u);
    EXPECT_EQ(blockAddresses(BELCOR_SIM_EVENT_DATA_IN).size(), 16u);
    EXPECT_TRUE(commands(CommandBlock::Erase).empty());
    EXPECT_EQ(host.log, std::vector<std::string>{"Erase Complete! (10:00:00)"});
}

TEST_F(FaultsMended, A95SeriesChipThatDoesNotReadBlankIsNotReportedErased)
{
    useChip(chipRecord("95,T,M95080", SpiEeprom95, 1024, 32));
    belcor_sim_inject_fault(BELCOR_SIM_FLIP_READ_BIT, 0x123);

    EXPECT_FALSE(run(Operation::Erase));

    expectFailedWith("Flash check error address:123h");
}

TEST_F(FaultsMended, EraseOnAnAvrSaysTheFamilyHasNone)
{
    useChip(chipRecord("AVR,T,ATmega8", Avr, 1024, 64));

    EXPECT_FALSE(run(Operation::Erase));

    expectFailedWith("This chip family has no erase command: Write replaces its bytes directly, so there is nothing "
                     "to erase.");
    EXPECT_TRUE(transcript().empty());
}

// The buffer is part file, part chip: the readout must not name the file.
TEST_F(FaultsMended, ReadStoppedByAnUnplugNoLongerNamesTheFile)
{
    useFlash(0x1000, 256);
    std::fill_n(flash(), 0x1000, 0x3C);
    workbench.buffers.sourceFile = "/tmp/edited.s19";
    belcor_sim_inject_fault(BELCOR_SIM_UNPLUG, 8);

    EXPECT_FALSE(run(Operation::Read));

    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"The programmer was disconnected during the read."});
    EXPECT_EQ(workbench.buffers.sourceFile, "");
    EXPECT_EQ(flash()[0], 0xFF);
    EXPECT_EQ(flash()[0xFFF], 0x3C);  // the buffer itself stays as the read left it
}

class FaultsMendedNoIdentification : public FaultsMended, public testing::WithParamInterface<uint32_t> {};

// A serial flash without a JEDEC ID, picked by hand, answers as an empty bus:
// with a record whose ID is 0 that is the chip, not an empty socket.
TEST_P(FaultsMendedNoIdentification, ChipIsReadAndWritten)
{
    setCurrentChip(chipRecord("SPI_FLASH,T,NoId", SpiFlash25, 0x1000, 256, 0));
    seatChip({SpiFlash25, GetParam(), 0x1000, 256});
    fillPattern(0x100);

    workbench.buffers.dataLength = 0x100;
    ASSERT_TRUE(run(Operation::Write)) << lastError();
    ASSERT_TRUE(run(Operation::Read)) << lastError();

    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(host.log, (std::vector<std::string>{"Read Complete! (10:00:00)", "Write Complete! (10:00:00)"}));
}

INSTANTIATE_TEST_SUITE_P(FaultsMended, FaultsMendedNoIdentification, testing::Values(0u, 0xFFFFFFu),
                         [](const auto& info) { return info.param == 0 ? "AllZeros" : "AllOnes"; });

// Every record with an ID still takes such an answer for an empty socket.
TEST_F(FaultsMended, SilentBusIsStillAnEmptySocketForARecordWithAnId)
{
    setCurrentChip(chipRecord("SPI_FLASH,Winbond,W25Q64", SpiFlash25, 0x1000, 256, 0xEF4017));
    seatChip({SpiFlash25, 0xFFFFFF, 0x1000, 256});

    EXPECT_FALSE(run(Operation::Read));

    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"No chip in the socket"});
    EXPECT_TRUE(commands(CommandBlock::BeginSession).empty());
}

}  // namespace
