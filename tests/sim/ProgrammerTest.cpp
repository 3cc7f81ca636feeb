#include "sim/SimDriver.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

constexpr uint32_t kMiB = 1u << 20;

class ProgrammerTest : public ::testing::Test {
protected:
    void SetUp() override { belcor_sim_reset(); }

    void seat(int chipClass, uint32_t size, uint32_t page, uint32_t id = 0xEF4017)
    {
        const belcor_sim_chip chip{chipClass, id, size, page};
        ASSERT_EQ(belcor_sim_seat_chip(&chip), 0);
    }

    void fillChip(uint8_t value, uint32_t size)
    {
        std::vector<uint8_t> bytes(size, value);
        ASSERT_EQ(belcor_sim_chip_write(0, bytes.data(), size), int(size));
    }

    uint8_t chipByte(uint32_t address)
    {
        uint8_t value = 0;
        EXPECT_EQ(belcor_sim_chip_read(address, &value, 1), 1);
        return value;
    }

    SimDriver driver;
};

TEST_F(ProgrammerTest, IdentifyAnswersTheSerialFlashIdentification)
{
    seat(0, 8 * kMiB, 256, 0xEF4017);
    ASSERT_TRUE(driver.open());
    const SimDriver::Block reply = driver.exchange(driver.block(9));
    EXPECT_EQ(reply[0], 1);
    EXPECT_EQ(reply[1], 0xEF);
    EXPECT_EQ(reply[2], 0x40);
    EXPECT_EQ(reply[3], 0x17);
}

class DetectionCodeTest : public ProgrammerTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(DetectionCodeTest, IdentifyAnswersTheFamily)
{
    const auto [chipClass, code] = GetParam();
    if (chipClass >= 0)
        seat(chipClass, 4096, 16);
    ASSERT_TRUE(driver.open());
    EXPECT_EQ(driver.exchange(driver.block(9))[0], code);
}

INSTANTIATE_TEST_SUITE_P(Families, DetectionCodeTest,
                         ::testing::Values(std::pair(-1, 0), std::pair(1, 2), std::pair(2, 3), std::pair(3, 4),
                                           std::pair(4, 5)),
                         [](const auto& info) {
                             const int chipClass = info.param.first;
                             return (chipClass < 0 ? std::string("EmptySocket") : "Class" + std::to_string(chipClass))
                                 + "Answers" + std::to_string(info.param.second);
                         });

// One write of 4 bytes 0x0F at address 2 of a chip that held 0x3C everywhere,
// then (when `eraseParameter` is set) an Erase block.
struct FamilyCase {
    const char* name;
    int chipClass;
    int eraseParameter;  // -1: no Erase sent
    uint8_t written;     // byte 2 after the write
    uint8_t afterErase0; // byte 0 after the erase
    uint8_t afterErase20; // byte 0x20 after the erase
    bool eraseIsError;
};

class ChipFamilyTest : public ProgrammerTest, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(ChipFamilyTest, FollowsTheFamilysProgrammingRules)
{
    const FamilyCase& c = GetParam();
    seat(c.chipClass, 256, 16);
    fillChip(0x3C, 256);
    ASSERT_TRUE(driver.open());
    driver.exchange(driver.beginSession(uint8_t(c.chipClass), 16, 256));
    driver.command(driver.setAddress(2));
    ASSERT_EQ(driver.write({0x0F, 0x0F, 0x0F, 0x0F}), 4);
    EXPECT_EQ(chipByte(2), c.written);
    EXPECT_EQ(chipByte(6), 0x3C);
    if (c.eraseParameter >= 0) {
        driver.command(driver.erase(uint16_t(c.eraseParameter)));
        EXPECT_EQ(chipByte(0), c.afterErase0);
        EXPECT_EQ(chipByte(0x20), c.afterErase20);
    }
    EXPECT_EQ(belcor_sim_protocol_error_count(), c.eraseIsError ? 1u : 0u) << protocolErrors();
}

INSTANTIATE_TEST_SUITE_P(
    Families, ChipFamilyTest,
    ::testing::Values(FamilyCase{"SpiFlashClearsBitsAndErasesWhole", 0, 0x8000, 0x0C, 0xFF, 0xFF, false},
                      FamilyCase{"I2cEepromReplacesAndErasesOnePage", 1, 0x0005, 0x0F, 0xFF, 0x3C, false},
                      FamilyCase{"I2cEepromErasesTheNamedPage", 1, 0x0020, 0x0F, 0x3C, 0xFF, false},
                      FamilyCase{"MicrowireEepromErasesWhole", 2, 100, 0x0F, 0xFF, 0xFF, false},
                      FamilyCase{"SpiEepromHasNoErase", 3, 0, 0x0F, 0x3C, 0x3C, true},
                      FamilyCase{"AvrHasNoErase", 4, 0, 0x0F, 0x3C, 0x3C, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgrammerTest, PageProgramWrapsInsideItsPage)
{
    seat(0, 1024, 256);
    ASSERT_TRUE(driver.open());
    driver.exchange(driver.beginSession(0, 256, 1024));
    driver.command(driver.setAddress(0xF0));
    std::vector<uint8_t> data(64);
    std::iota(data.begin(), data.end(), uint8_t(0));
    driver.write(data);
    EXPECT_EQ(chipByte(0xF0), 0);
    EXPECT_EQ(chipByte(0xFF), 15);
    EXPECT_EQ(chipByte(0x00), 16) << "the 17th byte wraps to the start of the page";
    EXPECT_EQ(chipByte(0x2F), 63);
    EXPECT_EQ(chipByte(0x100), 0xFF);
}

// A 24C02: 256 bytes in pages of 8.
class I2cEepromTest : public ProgrammerTest {
protected:
    void SetUp() override
    {
        ProgrammerTest::SetUp();
        seat(1, 256, 8);
        ASSERT_TRUE(driver.open());
    }
    void startSession(uint16_t page) { driver.exchange(driver.beginSession(1, page, 256)); }
    static std::vector<uint8_t> counting(size_t count)
    {
        std::vector<uint8_t> bytes(count);
        std::iota(bytes.begin(), bytes.end(), uint8_t(0));
        return bytes;
    }
};

// A session that claims 16-byte pages makes the firmware send 16 bytes in one
// page write; the chip keeps only its own 8-byte page, the second half
// overwriting the first.
TEST_F(I2cEepromTest, PageWriteWrapsInsideTheChipsPage)
{
    startSession(16);
    driver.command(driver.setAddress(0));
    driver.write(counting(16));
    EXPECT_EQ(chipByte(0), 8);
    EXPECT_EQ(chipByte(7), 15);
    EXPECT_EQ(chipByte(8), 0xFF);
    EXPECT_EQ(belcor_sim_protocol_error_count(), 0u) << protocolErrors();
}

// The firmware waits out each page's write cycle before the next, so a whole
// block lands; a read that follows at once finds the chip still busy.
TEST_F(I2cEepromTest, WriteCycleKeepsTheChipBusyAndLosesReads)
{
    startSession(8);
    driver.command(driver.setAddress(0));
    driver.write(counting(64));
    EXPECT_EQ(driver.exchange(driver.block(10))[0] & 1, 1);
    driver.exchange(driver.setAddress(0));
    EXPECT_EQ(driver.read(8), std::vector<uint8_t>(8, 0xFF));
    ASSERT_EQ(belcor_sim_protocol_error_count(), 1u) << protocolErrors();
    EXPECT_NE(std::string(belcor_sim_protocol_error(0)).find("write cycle"), std::string::npos);

    belcor_sim_advance_ms(5);
    EXPECT_EQ(driver.exchange(driver.block(10))[0] & 1, 0);
    driver.exchange(driver.setAddress(0));
    EXPECT_EQ(driver.read(64), counting(64));
}

TEST_F(I2cEepromTest, AddressesWrapAtTheChipsSize)
{
    startSession(8);
    driver.command(driver.setAddress(0xF8));
    driver.write(counting(16));
    EXPECT_EQ(chipByte(0xFF), 7);
    EXPECT_EQ(chipByte(0x00), 8);
    belcor_sim_advance_ms(5);
    driver.exchange(driver.setAddress(0x100));
    EXPECT_EQ(driver.read(8), std::vector<uint8_t>({8, 9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(belcor_sim_protocol_error_count(), 0u) << protocolErrors();
}

TEST_F(ProgrammerTest, ReadsAndWritesAdvanceTheAddressPointer)
{
    seat(1, 4096, 32);
    ASSERT_TRUE(driver.open());
    driver.exchange(driver.beginSession(1, 32, 4096));
    driver.command(driver.setAddress(0x100));
    driver.write(std::vector<uint8_t>(64, 0x11));
    driver.write(std::vector<uint8_t>(64, 0x22));
    belcor_sim_advance_ms(5);  // the EEPROM's write cycle
    driver.exchange(driver.setAddress(0x100));
    EXPECT_EQ(driver.read(64), std::vector<uint8_t>(64, 0x11));
    EXPECT_EQ(driver.read(64), std::vector<uint8_t>(64, 0x22));
    EXPECT_EQ(belcor_sim_protocol_error_count(), 0u) << protocolErrors();
}

// A 32 MiB flash whose upper half is marked: without 0xB7 only 24 address
// bits reach it, so reading at 16 MiB shows its first half again.
TEST_F(ProgrammerTest, ThreeByteAddressesWrapUntilFourByteModeIsEntered)
{
    seat(0, 32 * kMiB, 256, 0xEF4019);
    const uint8_t low[2] = {0x01, 0x02}, high[2] = {0xA1, 0xA2};
    belcor_sim_chip_write(0, low, 2);
    belcor_sim_chip_write(16 * kMiB, high, 2);
    ASSERT_TRUE(driver.open());
    driver.exchange(driver.beginSession(0, 256, 32 * kMiB));
    driver.exchange(driver.setAddress(16 * kMiB));
    EXPECT_EQ(driver.read(256)[0], 0x01);

    driver.exchange(driver.chipCommand(0xB7));
    driver.exchange(driver.setAddress(16 * kMiB));
    EXPECT_EQ(driver.read(256)[1], 0xA2);

    driver.command(driver.block(8, 1));
    driver.exchange(driver.beginSession(0, 256, 32 * kMiB));
    driver.exchange(driver.setAddress(16 * kMiB));
    EXPECT_EQ(driver.read(256)[0], 0x01) << "four-byte mode ends with the session";
    EXPECT_EQ(belcor_sim_protocol_error_count(), 0u) << protocolErrors();
}

TEST_F(ProgrammerTest, ChipEraseKeepsTheChipBusyForTheEraseTime)
{
    seat(0, 64 * 1024, 256);
    belcor_sim_set_erase_time_ms(3000);
    ASSERT_TRUE(driver.open());
    driver.exchange(driver.beginSession(0, 256, 64 * 1024));
    driver.command(driver.erase(0x8000));
    EXPECT_EQ(driver.exchange(driver.block(10))[0] & 1, 1);
    driver.command(driver.setAddress(0));
    driver.write(std::vector<uint8_t>(256, 0));
    driver.exchange(driver.setAddress(0));
    driver.read(256);
    EXPECT_EQ(belcor_sim_protocol_error_count(), 2u) << "a write and a read during the erase are mistakes";
    EXPECT_EQ(chipByte(0), 0xFF);

    belcor_sim_advance_ms(3000);
    EXPECT_EQ(driver.exchange(driver.block(10))[0] & 1, 0);
}

TEST_F(ProgrammerTest, AnEraseThatNeverEndsStaysBusy)
{
    seat(0, 4096, 256);
    belcor_sim_set_erase_time_ms(0xFFFFFFFF);
    ASSERT_TRUE(driver.open());
    driver.command(driver.erase(0x8000));
    belcor_sim_advance_ms(0xFFFFFFFF);
    EXPECT_EQ(driver.exchange(driver.block(10))[0] & 1, 1);
}

class ProtocolMistakeTest : public ProgrammerTest,
                            public ::testing::WithParamInterface<std::pair<const char*, void (*)(SimDriver&)>> {};

TEST_P(ProtocolMistakeTest, IsRecorded)
{
    seat(0, 4096, 256);
    ASSERT_TRUE(driver.open());
    GetParam().second(driver);
    EXPECT_EQ(belcor_sim_protocol_error_count(), 1u) << protocolErrors();
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, ProtocolMistakeTest,
    ::testing::Values(
        std::pair<const char*, void (*)(SimDriver&)>("DataBeforeSetAddress", [](SimDriver& d) { d.read(64); }),
        std::pair<const char*, void (*)(SimDriver&)>("UnknownOpcode", [](SimDriver& d) { d.command(d.block(42)); }),
        std::pair<const char*, void (*)(SimDriver&)>("ReadPastTheEnd",
                                                     [](SimDriver& d) {
                                                         d.exchange(d.setAddress(4096 - 64));
                                                         EXPECT_EQ(d.read(128)[127], 0xFF);
                                                     }),
        std::pair<const char*, void (*)(SimDriver&)>("UnknownEraseParameter",
                                                     [](SimDriver& d) { d.command(d.erase(0x1234)); }),
        std::pair<const char*, void (*)(SimDriver&)>("UnknownChipInstruction",
                                                     [](SimDriver& d) { d.exchange(d.chipCommand(0xAB)); })),
    [](const auto& info) { return std::string(info.param.first); });

TEST_F(ProgrammerTest, HardwareInformationCarriesTheVersions)
{
    belcor_sim_set_versions("H9.1", "V4.02", "SN12345678901");
    ASSERT_TRUE(driver.open());
    const SimDriver::Block reply = driver.exchange(driver.block(12));
    EXPECT_EQ(std::string(reply.begin() + 42, reply.begin() + 46), "H9.1");
    EXPECT_EQ(std::string(reply.begin() + 46, reply.begin() + 51), "V4.02");
    EXPECT_EQ(std::string(reply.begin() + 51, reply.end()), "SN12345678901");
}

TEST_F(ProgrammerTest, StuckBitNeverProgramsAndFlippedBitReadsInverted)
{
    seat(1, 256, 16);
    belcor_sim_inject_fault(BELCOR_SIM_STUCK_BIT, 5);
    belcor_sim_inject_fault(BELCOR_SIM_FLIP_READ_BIT, 9);
    ASSERT_TRUE(driver.open());
    driver.command(driver.setAddress(0));
    driver.write(std::vector<uint8_t>(64, 0x00));
    EXPECT_EQ(chipByte(5), 0x01);
    EXPECT_EQ(chipByte(9), 0x00) << "the flip is on the way out, not in the array";
    belcor_sim_advance_ms(5);  // the EEPROM's write cycle
    driver.exchange(driver.setAddress(0));
    const std::vector<uint8_t> data = driver.read(64);
    EXPECT_EQ(data[5], 0x01);
    EXPECT_EQ(data[9], 0x01);
    EXPECT_EQ(data[10], 0x00);
}

TEST_F(ProgrammerTest, ImpossibleChipsAreRefused)
{
    const belcor_sim_chip chips[] = {{5, 0, 4096, 16}, {0, 0, 0, 256}, {0, 0, 4096, 0}, {1, 0, 4096, 512}};
    for (const belcor_sim_chip& chip : chips)
        EXPECT_EQ(belcor_sim_seat_chip(&chip), -1);
    EXPECT_EQ(belcor_sim_chip_is_seated(), 0);
    uint8_t byte = 0;
    EXPECT_EQ(belcor_sim_chip_read(0, &byte, 1), -1);
    seat(1, 4096, 16);
    EXPECT_EQ(belcor_sim_chip_read(4095, &byte, 2), -1);
}

} // namespace
