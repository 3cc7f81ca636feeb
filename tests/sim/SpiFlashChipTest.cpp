#include "sim/SimDriver.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <numeric>

namespace {

constexpr uint32_t kChipSize = 1u << 20;

// A 1 MiB serial flash holding 0x3C everywhere, driven through raw instructions.
class SpiFlashChipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        belcor_sim_reset();
        const belcor_sim_chip chip{0, 0xEF4014, kChipSize, 256};
        ASSERT_EQ(belcor_sim_seat_chip(&chip), 0);
        std::vector<uint8_t> bytes(kChipSize, 0x3C);
        ASSERT_EQ(belcor_sim_chip_write(0, bytes.data(), kChipSize), int(kChipSize));
        ASSERT_TRUE(driver.open());
        driver.exchange(driver.beginSession(0, 256, kChipSize));
    }

    void instruct(std::initializer_list<uint8_t> bytes)
    {
        SimDriver::Block block = driver.block(11);
        block[2] = 3;
        block[3] = uint8_t(bytes.size());
        std::copy(bytes.begin(), bytes.end(), block.begin() + 4);
        driver.exchange(block);
    }

    uint8_t status() { return driver.exchange(driver.block(10))[0]; }

    uint8_t chipByte(uint32_t address)
    {
        uint8_t value = 0;
        EXPECT_EQ(belcor_sim_chip_read(address, &value, 1), 1);
        return value;
    }

    SimDriver driver;
};

// Instructions sent to the chip, and which addresses come out blank.
struct InstructionCase {
    const char* name;
    uint8_t statusBits;  // left by an earlier tool
    std::vector<std::vector<uint8_t>> instructions;
    std::vector<uint32_t> blank;
    std::vector<uint32_t> kept;
    size_t mistakes;
};

class InstructionTest : public SpiFlashChipTest, public ::testing::WithParamInterface<InstructionCase> {};

TEST_P(InstructionTest, ErasesWhatTheInstructionCovers)
{
    const InstructionCase& c = GetParam();
    ASSERT_EQ(belcor_sim_chip_set_status(c.statusBits), 0);
    for (const std::vector<uint8_t>& bytes : c.instructions) {
        SimDriver::Block block = driver.block(11);
        block[2] = 3;
        block[3] = uint8_t(bytes.size());
        std::copy(bytes.begin(), bytes.end(), block.begin() + 4);
        driver.exchange(block);
        belcor_sim_advance_ms(1000);
    }
    for (uint32_t address : c.blank)
        EXPECT_EQ(chipByte(address), 0xFF) << std::hex << address;
    for (uint32_t address : c.kept)
        EXPECT_EQ(chipByte(address), 0x3C) << std::hex << address;
    EXPECT_EQ(belcor_sim_protocol_error_count(), c.mistakes) << protocolErrors();
}

INSTANTIATE_TEST_SUITE_P(
    Instructions, InstructionTest,
    ::testing::Values(
        InstructionCase{"SectorEraseClearsFourKiB", 0, {{0x06}, {0x20, 0x00, 0x10, 0x20}}, {0x1000, 0x1FFF}, {0xFFF, 0x2000}, 0},
        InstructionCase{"FourByteSectorErase", 0, {{0x06}, {0x21, 0x00, 0x00, 0x30, 0x00}}, {0x3000}, {0x4000}, 0},
        InstructionCase{"BlockEraseClearsSixtyFourKiB", 0, {{0x06}, {0xD8, 0x01, 0x80, 0x00}}, {0x10000, 0x1FFFF},
                        {0xFFFF, 0x20000}, 0},
        InstructionCase{"WriteEnableForgottenIsAMistake", 0, {{0x20, 0x00, 0x10, 0x00}}, {}, {0x1000}, 1},
        InstructionCase{"WriteEnableServesOneInstruction", 0, {{0x06}, {0x20, 0x00, 0x00, 0x00}, {0x20, 0x00, 0x10, 0x00}},
                        {0x0}, {0x1000}, 1},
        InstructionCase{"WrongAddressLengthIsAMistake", 0, {{0x06}, {0x20, 0x00, 0x10}}, {}, {0x1000}, 1},
        // BP0 guards the top 64th: the last 16 KiB of 1 MiB.
        InstructionCase{"ProtectedSectorIsLeftSilently", 0x04, {{0x06}, {0x20, 0x0F, 0xF0, 0x00}}, {}, {0xFF000}, 0},
        InstructionCase{"UnprotectedSectorOfAProtectedChip", 0x04, {{0x06}, {0x20, 0x0F, 0xB0, 0x00}}, {0xFB000}, {}, 0},
        InstructionCase{"BottomProtectionGuardsTheStart", 0x24, {{0x06}, {0x20, 0x00, 0x00, 0x00}}, {}, {0x0}, 0},
        InstructionCase{"ChipEraseOfAProtectedChipDoesNothing", 0x1C, {{0x06}, {0xC7}}, {}, {0x0, 0x80000}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SpiFlashChipTest, StatusRegisterShowsProtectionUntilWrittenWithWriteEnable)
{
    ASSERT_EQ(belcor_sim_chip_set_status(0x1C), 0);
    EXPECT_EQ(status(), 0x1C);
    instruct({0x01, 0x00});
    EXPECT_EQ(status(), 0x1C) << "no write enable: nothing written";
    instruct({0x06});
    EXPECT_EQ(status(), 0x1E) << "the latch shows in bit 1";
    instruct({0x01, 0x00});
    EXPECT_EQ(status() & 0x01, 0x01) << "a status write keeps the chip busy for a moment";
    belcor_sim_advance_ms(20);
    EXPECT_EQ(status(), 0x00);
    EXPECT_EQ(belcor_sim_protocol_error_count(), 1u) << protocolErrors();
}

struct StatusLockCase {
    const char* name;
    uint8_t left;  // status bits left by an earlier tool
    bool wpLow;
    uint8_t after;
};

class StatusLockTest : public SpiFlashChipTest, public ::testing::WithParamInterface<StatusLockCase> {};

TEST_P(StatusLockTest, StatusWriteIsIgnoredWhileSrpAndALowWpPinLockIt)
{
    ASSERT_EQ(belcor_sim_chip_set_status(GetParam().left), 0);
    belcor_sim_set_write_protect_pin(GetParam().wpLow);
    instruct({0x06});
    instruct({0x01, 0x9C});
    belcor_sim_advance_ms(20);
    EXPECT_EQ(status(), GetParam().after);
    EXPECT_EQ(belcor_sim_protocol_error_count(), 0u) << protocolErrors();
}

INSTANTIATE_TEST_SUITE_P(
    Pins, StatusLockTest,
    ::testing::Values(StatusLockCase{"SrpWithWpHigh", 0x80, false, 0x9C},
                      StatusLockCase{"WpLowWithoutSrp", 0x00, true, 0x9C},
                      StatusLockCase{"SrpWithWpLow", 0x84, true, 0x84}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SpiFlashChipTest, ReadsAndWritesDuringASectorEraseAreMistakes)
{
    instruct({0x06});
    instruct({0x20, 0x00, 0x00, 0x00});
    EXPECT_EQ(status() & 0x01, 0x01);
    driver.exchange(driver.setAddress(0));
    driver.read(256);
    driver.command(driver.setAddress(0x2000));
    driver.write(std::vector<uint8_t>(256, 0));
    EXPECT_EQ(belcor_sim_protocol_error_count(), 2u) << protocolErrors();
    EXPECT_EQ(chipByte(0x2000), 0x3C);

    belcor_sim_advance_ms(45);
    EXPECT_EQ(status() & 0x01, 0x00);
}

TEST_F(SpiFlashChipTest, FirmwareWaitsForEachPageProgram)
{
    const uint64_t before = belcor_sim_now_ms();
    driver.command(driver.setAddress(0));
    for (int page = 0; page < 100; ++page)
        driver.write(std::vector<uint8_t>(256, 0x0C));
    EXPECT_GE(belcor_sim_now_ms() - before, 70u) << "100 pages of 0.7 ms";
    EXPECT_EQ(chipByte(0x63FF), 0x0C);
    EXPECT_EQ(status() & 0x03, 0x00) << "ready, latch used up";
}

TEST_F(SpiFlashChipTest, PageProgramWrapsAtTheChipsOwnPage)
{
    const belcor_sim_chip chip{0, 0xEF4014, 4096, 64};
    ASSERT_EQ(belcor_sim_seat_chip(&chip), 0);
    driver.exchange(driver.beginSession(0, 256, 4096));
    driver.command(driver.setAddress(0x20));
    std::vector<uint8_t> data(64, 0xFF);
    data[40] = 0x00;  // lands at 0x48 past the 64-byte page: wraps to 0x08
    driver.write(data);
    EXPECT_EQ(chipByte(0x08), 0x00);
    EXPECT_EQ(chipByte(0x48), 0xFF);
    EXPECT_EQ(belcor_sim_protocol_error_count(), 0u) << protocolErrors();
}

}  // namespace
