#include "sim/SimDriver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kGang = 4;
constexpr uint32_t kChipSize = 64 * 1024;

class GangTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        belcor_sim_reset();
        std::ofstream(path) << "chip class=0 id=0xEF4013 size=" << kChipSize << " page=256\n"
                            << "programmers " << kGang << "\n";
        ASSERT_EQ(belcor_sim_load_scenario(path.c_str()), 0) << belcor_sim_last_error();
        usb_find_busses();
        usb_find_devices();
    }
    void TearDown() override
    {
        std::remove(path.c_str());
        belcor_sim_reset();
    }

    // Writes a pattern of its own into programmer `index`'s chip and reads it back.
    static bool programAndRead(SimDriver& driver, uint8_t seed)
    {
        driver.exchange(driver.beginSession(0, 256, kChipSize));
        driver.command(driver.setAddress(0));
        std::vector<uint8_t> data(kChipSize);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = uint8_t(seed + i * 7);
        for (uint32_t at = 0; at < kChipSize; at += 4096) {
            if (driver.write(std::vector<uint8_t>(data.begin() + at, data.begin() + at + 4096)) != 4096)
                return false;
        }
        driver.exchange(driver.setAddress(0));
        return driver.read(kChipSize) == data;
    }

    const std::string path = ::testing::TempDir() + "belcor_gang_" + std::to_string(getpid()) + ".scenario";
};

TEST_F(GangTest, EachProgrammerHasItsOwnSerialAndChip)
{
    ASSERT_EQ(belcor_sim_programmer_count(), kGang);
    for (int index = 0; index < kGang; ++index) {
        SimDriver driver;
        ASSERT_TRUE(driver.open(index));
        char serial[16];
        std::snprintf(serial, sizeof serial, "BU2SIM%07d", index + 1);
        EXPECT_EQ(driver.stringDescriptor(3), std::u16string(serial, serial + 13));
        const SimDriver::Block info = driver.exchange(driver.block(12));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.data()) + 51, 13), serial);
        EXPECT_EQ(belcor_sim_chip_is_seated_at(index + 1), 1);
    }
    EXPECT_EQ(belcor_sim_chip_is_seated_at(kGang + 1), 0);
}

TEST_F(GangTest, TransfersOnDifferentProgrammersRunSideBySide)
{
    // Paced at 64 bytes per ms, one programmer's round trip takes two seconds;
    // four at once would take eight if they waited for one another.
    for (int number = 1; number <= kGang; ++number)
        belcor_sim_set_transfer_rate_at(number, 64);
    std::vector<SimDriver> drivers(kGang);
    for (int index = 0; index < kGang; ++index)
        ASSERT_TRUE(drivers[size_t(index)].open(index));
    std::vector<int> ok(kGang, 0);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int index = 0; index < kGang; ++index)
        threads.emplace_back([&, index] { ok[size_t(index)] = programAndRead(drivers[size_t(index)], uint8_t(index)); });
    for (std::thread& thread : threads)
        thread.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (int index = 0; index < kGang; ++index)
        EXPECT_TRUE(ok[size_t(index)]) << "programmer " << index + 1;
    EXPECT_LT(seconds, 4.0);
    for (int number = 1; number <= kGang; ++number) {
        uint8_t first = 0;
        ASSERT_EQ(belcor_sim_chip_read_at(number, 0, &first, 1), 1);
        EXPECT_EQ(first, uint8_t(number - 1)) << "programmer " << number;
    }
    EXPECT_EQ(protocolErrors(), "");
}

TEST_F(GangTest, AFaultStaysWithItsProgrammer)
{
    belcor_sim_inject_fault_at(2, BELCOR_SIM_UNPLUG, 3);
    std::vector<SimDriver> drivers(kGang);
    for (int index = 0; index < kGang; ++index)
        ASSERT_TRUE(drivers[size_t(index)].open(index));
    for (int index = 0; index < kGang; ++index)
        EXPECT_EQ(programAndRead(drivers[size_t(index)], uint8_t(index)), index != 1) << "programmer " << index + 1;
    EXPECT_EQ(belcor_sim_is_plugged_at(2), 0);
    EXPECT_EQ(belcor_sim_is_plugged_at(1), 1);
    EXPECT_EQ(belcor_sim_is_plugged_at(3), 1);
}

TEST_F(GangTest, FeedersRunPerProgrammer)
{
    belcor_sim_set_feeder_at(3, 1, 100);
    SimDriver driver;
    ASSERT_TRUE(driver.open(2));
    ASSERT_TRUE(programAndRead(driver, 3));
    driver.command(driver.block(8));
    belcor_sim_advance_ms(150);
    EXPECT_EQ(belcor_sim_chip_is_seated_at(3), 0);
    belcor_sim_advance_ms(100);
    EXPECT_EQ(belcor_sim_chip_is_seated_at(3), 1);
    EXPECT_EQ(belcor_sim_feeder_done_count_at(3), 1u);
    EXPECT_EQ(belcor_sim_feeder_done_count_at(1), 0u);
}

TEST_F(GangTest, ScenarioRefusesAGangOutOfRange)
{
    for (const char* line : {"programmers 0\n", "programmers 33\n", "programmers two\n"}) {
        std::ofstream(path) << line;
        EXPECT_EQ(belcor_sim_load_scenario(path.c_str()), -1) << line;
        EXPECT_NE(std::string(belcor_sim_last_error()).find("programmers N"), std::string::npos);
    }
}

}  // namespace
