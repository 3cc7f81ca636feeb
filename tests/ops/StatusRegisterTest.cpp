#include <gtest/gtest.h>

#include "OpsFixture.h"
#include "ops/StatusRegister.h"

namespace {

struct BitNamesCase {
    const char* name;
    uint8_t status;
    std::string all;
    std::string protection;  // as failure texts show the register
};

class StatusBitNaming : public testing::TestWithParam<BitNamesCase> {};

TEST_P(StatusBitNaming, NamesTheSetBits)
{
    const ChipRecord chip = chipRecord("SPI_FLASH,T,F", SpiFlash25, 0x10000, 256);
    EXPECT_EQ(StatusBitNames(chip, GetParam().status, false), GetParam().all);
    EXPECT_EQ(ProtectionStatusText(chip, GetParam().status), GetParam().protection);
}

INSTANTIATE_TEST_SUITE_P(
    , StatusBitNaming,
    testing::Values(BitNamesCase{"Clear", 0x00, "", "0h"},
                    BitNamesCase{"BusyAndWriteEnabled", 0x03, "BUSY, WEL", "3h"},
                    BitNamesCase{"OneProtectionBit", 0x08, "BP1", "8h: BP1"},
                    BitNamesCase{"AllProtectionBits", 0x1C, "BP0, BP1, BP2", "1Ch: BP0, BP1, BP2"},
                    BitNamesCase{"EveryBit", 0xFF, "BUSY, WEL, BP0, BP1, BP2, TB, SEC, SRP",
                                 "FFh: BP0, BP1, BP2"},
                    BitNamesCase{"UpperBitsAlone", 0xE0, "TB, SEC, SRP", "E0h"}),
    [](const auto& info) { return std::string(info.param.name); });

class StatusRegisterTest : public OpsFixture {};

// Written values come back, but WEL and BUSY are the chip's own.
TEST_F(StatusRegisterTest, WriteThenReadRoundTrips)
{
    useFlash(0x10000);
    for (const uint8_t value : {uint8_t(0x1C), uint8_t(0xA4), uint8_t(0x00)}) {
        uint8_t written = 0, read = 0xFF;
        ASSERT_TRUE(RunWriteStatusRegister(workbench, host, value, written)) << lastError();
        ASSERT_TRUE(RunReadStatusRegister(workbench, host, read)) << lastError();
        EXPECT_EQ(written, value);
        EXPECT_EQ(read, value);
    }
    EXPECT_EQ(host.log.front(), "Status register written: 0h (10:00:00)");
}

TEST_F(StatusRegisterTest, ProtectionBitsWrittenBlockProgramming)
{
    useFlash(0x10000);
    uint8_t status = 0;
    ASSERT_TRUE(RunWriteStatusRegister(workbench, host, 0x1C, status));
    fillPattern(0x100);

    EXPECT_FALSE(run(Operation::Write) && run(Operation::Verify));
}

TEST_F(StatusRegisterTest, OtherFamiliesAreRefusedWithoutASession)
{
    useChip(chipRecord("24_EEPROM,T,24C02", I2cEeprom24, 256, 8));
    uint8_t status = 0;

    EXPECT_FALSE(RunReadStatusRegister(workbench, host, status));
    EXPECT_FALSE(RunWriteStatusRegister(workbench, host, 0, status));

    EXPECT_EQ(host.errorBoxes.size(), 2u);
    EXPECT_EQ(lastError(), "Only a 25-series flash has a status register to read and write here.");
    EXPECT_TRUE(commands().empty());
}

}  // namespace
