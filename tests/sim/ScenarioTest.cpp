#include "sim/SimDriver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>
#include "support/CaseName.h"

namespace {

class ScenarioTest : public ::testing::Test {
protected:
    void SetUp() override { belcor_sim_reset(); }
    void TearDown() override { std::remove(path.c_str()); }

    int load(const std::string& text)
    {
        std::ofstream(path) << text;
        return belcor_sim_load_scenario(path.c_str());
    }

    // ctest runs the cases in parallel processes: each needs its own file.
    const std::string path = ::testing::TempDir() + "belcor_sim_" + std::to_string(getpid()) + ".scenario";
};

TEST_F(ScenarioTest, EmptyPathSeatsABlankSerialFlash)
{
    ASSERT_EQ(belcor_sim_load_scenario(""), 0);
    SimDriver driver;
    ASSERT_TRUE(driver.open());
    const SimDriver::Block reply = driver.exchange(driver.block(9));
    EXPECT_EQ(reply[0], 1);
    EXPECT_EQ(reply[1], 0xEF);
    uint8_t last = 0;
    EXPECT_EQ(belcor_sim_chip_read((8u << 20) - 1, &last, 1), 1);
    EXPECT_EQ(last, 0xFF);
}

TEST_F(ScenarioTest, DirectivesSetTheScene)
{
    ASSERT_EQ(load("# a production rehearsal\n"
                   "chip class=1 id=0 size=0x800 page=16   # 24C16\n"
                   "contents pattern\n"
                   "erase_time_ms 10\n"
                   "feeder on 500\n"
                   "versions H3.0 V3.20 SCENARIO01\n"
                   "device lookalike\n"
                   "unplugged\n"),
              0)
        << belcor_sim_last_error();
    EXPECT_EQ(belcor_sim_is_plugged(), 0);
    char row[16];
    ASSERT_EQ(belcor_sim_chip_read(0x7F0, reinterpret_cast<uint8_t*>(row), 16), 16);
    EXPECT_EQ(std::string(row, 16), "000007F0 Belcor\n");
    SimDriver driver;
    ASSERT_TRUE(driver.open());
    EXPECT_EQ(driver.stringDescriptor(1), u"www.other.example");
}

TEST_F(ScenarioTest, RandomContentsFollowTheSeed)
{
    uint8_t first[32], second[32], third[32];
    ASSERT_EQ(load("chip class=0 id=0xC84017 size=4096 page=256\ncontents random seed=7\n"), 0);
    belcor_sim_chip_read(0, first, 32);
    ASSERT_EQ(load("chip class=0 id=0xC84017 size=4096 page=256\ncontents random seed=7\n"), 0);
    belcor_sim_chip_read(0, second, 32);
    ASSERT_EQ(load("chip class=0 id=0xC84017 size=4096 page=256\ncontents random seed=8\n"), 0);
    belcor_sim_chip_read(0, third, 32);
    EXPECT_EQ(0, std::memcmp(first, second, 32));
    EXPECT_NE(0, std::memcmp(first, third, 32));
}

TEST_F(ScenarioTest, DemoScenarioLoads)
{
    const std::filesystem::path demo
        = std::filesystem::path(__FILE__).parent_path() / "../../sim/scenarios/demo.scenario";
    ASSERT_EQ(belcor_sim_load_scenario(demo.c_str()), 0) << belcor_sim_last_error();
    EXPECT_EQ(belcor_sim_chip_is_seated(), 1);
    belcor_sim_set_transfer_rate(0);
}

class BadScenarioTest : public ScenarioTest, public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(BadScenarioTest, NamesTheLineAndLeavesTheSceneAlone)
{
    const belcor_sim_chip chip{2, 0, 128, 16};
    belcor_sim_seat_chip(&chip);
    EXPECT_EQ(load(GetParam().first), -1);
    EXPECT_NE(std::string(belcor_sim_last_error()).find(GetParam().second), std::string::npos) << belcor_sim_last_error();
    EXPECT_EQ(belcor_sim_chip_is_seated(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, BadScenarioTest,
    ::testing::Values(std::pair("chip class=0 size=4096 page=256\nbanana\n", ":2: unknown directive \"banana\""),
                      std::pair("chip class=7 size=4096 page=256\n", ":1: chip needs class"),
                      std::pair("\n\nchip class=0 size=4096 page=0\n", ":3: impossible chip"),
                      std::pair("chip class=0 size=4k page=256\n", ":1: bad chip setting \"size=4k\""),
                      std::pair("contents pattern\n", ":1: \"contents\" before any \"chip\""),
                      std::pair("erase_time_ms -5\n", ":1: bad erase time"),
                      std::pair("feeder sometimes\n", ":1: expected \"feeder on"),
                      std::pair("versions H2.0 V3.10\n", ":1: expected \"versions"),
                      std::pair("failing_chips 101 seed=1\n", ":1: expected \"failing_chips"),
                      std::pair("unplugged now\n", ":1: expected \"unplugged\""),
                      std::pair("chip class=0 size=4096 page=256\ncontents file=/nonexistent.bin\n",
                                ":2: cannot open the image \"/nonexistent.bin\""),
                      std::pair("chip class=0 size=4096 page=256\ncontents file=/dev/zero\n",
                                ":2: cannot open the image \"/dev/zero\""),
                      std::pair("chip class=1 size=4096 page=16\nstatus_register 0x1C\n", ":2: \"status_register\" needs")),
    [](const auto& info) { return WordsCaseName(info.param.second); });

// The image is found beside the scenario; the chip holds it, blank after its end.
TEST_F(ScenarioTest, ContentsFileSeatsTheImage)
{
    const std::string image = std::filesystem::path(path).parent_path() / ("image_" + std::to_string(getpid()) + ".bin");
    std::ofstream(image, std::ios::binary) << "Belcor";
    ASSERT_EQ(load("chip class=0 id=0xC84017 size=4096 page=256\ncontents file=" +
                   std::filesystem::path(image).filename().string() + "\nstatus_register 0x1C\n"),
              0)
        << belcor_sim_last_error();
    uint8_t bytes[8] = {};
    belcor_sim_chip_read(0, bytes, 8);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 8), std::string("Belcor\xFF\xFF", 8));
    EXPECT_EQ(load("chip class=0 id=0xC84017 size=4 page=4\ncontents file=" + image + "\n"), -1);
    EXPECT_NE(std::string(belcor_sim_last_error()).find("larger than the chip"), std::string::npos);
    std::remove(image.c_str());
}

TEST_F(ScenarioTest, MissingFileIsReported)
{
    EXPECT_EQ(belcor_sim_load_scenario("/nonexistent/none.scenario"), -1);
    EXPECT_NE(std::string(belcor_sim_last_error()).find("cannot open"), std::string::npos);
    EXPECT_EQ(belcor_sim_load_scenario(nullptr), -1);
}

// The feeder takes a written chip out a pause after its session ends and
// seats a blank one a pause later.
TEST_F(ScenarioTest, FeederReplacesEachWrittenChip)
{
    ASSERT_EQ(load("chip class=1 size=256 page=16\nfeeder on 1000\n"), 0);
    SimDriver driver;
    ASSERT_TRUE(driver.open());
    driver.exchange(driver.beginSession(1, 16, 256));
    driver.command(driver.setAddress(0));
    driver.write(std::vector<uint8_t>(64, 0));
    belcor_sim_advance_ms(5000);
    EXPECT_EQ(belcor_sim_chip_is_seated(), 1) << "nothing happens while the session runs";
    driver.command(driver.block(8, 1));
    belcor_sim_advance_ms(999);
    EXPECT_EQ(belcor_sim_chip_is_seated(), 1);
    belcor_sim_advance_ms(1);
    EXPECT_EQ(belcor_sim_chip_is_seated(), 0);
    EXPECT_EQ(belcor_sim_feeder_done_count(), 1u);
    EXPECT_EQ(driver.exchange(driver.block(9))[0], 0);
    belcor_sim_advance_ms(1000);
    EXPECT_EQ(driver.exchange(driver.block(9))[0], 2);
    uint8_t first = 0;
    belcor_sim_chip_read(0, &first, 1);
    EXPECT_EQ(first, 0xFF);
}

// A rehearsal meets failing chips: some of those the feeder seats keep bit 0
// of address 0 set when written, the others take what is written.
TEST_F(ScenarioTest, FeederSeatsFailingChipsByTheChanceGiven)
{
    ASSERT_EQ(load("chip class=1 size=256 page=16\nfeeder on 10\nfailing_chips 50 seed=3\n"), 0);
    SimDriver driver;
    ASSERT_TRUE(driver.open());
    int failing = 0;
    for (int chip = 0; chip < 40; ++chip) {
        driver.exchange(driver.beginSession(1, 16, 256));
        driver.command(driver.setAddress(0));
        driver.write(std::vector<uint8_t>(64, 0));
        belcor_sim_advance_ms(5);  // the EEPROM's write cycle
        driver.exchange(driver.setAddress(0));
        const std::vector<uint8_t> data = driver.read(64);
        ASSERT_EQ(data.size(), 64u);
        if (chip > 0)
            failing += data[0] != 0x00;
        EXPECT_EQ(data[1], 0x00);
        driver.command(driver.block(8, 1));
        belcor_sim_advance_ms(10);
        EXPECT_EQ(driver.exchange(driver.block(9))[0], 0);
        belcor_sim_advance_ms(10);
        ASSERT_EQ(driver.exchange(driver.block(9))[0], 2);
    }
    EXPECT_GT(failing, 5);
    EXPECT_LT(failing, 35);
}

TEST_F(ScenarioTest, FeederIgnoresChipsFinishedBeforeItWasOn)
{
    ASSERT_EQ(load("chip class=1 size=256 page=16\n"), 0);
    SimDriver driver;
    ASSERT_TRUE(driver.open());
    driver.exchange(driver.beginSession(1, 16, 256));
    driver.command(driver.setAddress(0));
    driver.write(std::vector<uint8_t>(64, 0));
    driver.command(driver.block(8, 1));
    belcor_sim_advance_ms(10);
    belcor_sim_set_feeder(1, 100);
    belcor_sim_advance_ms(1000);
    EXPECT_EQ(belcor_sim_chip_is_seated(), 1);
    EXPECT_EQ(belcor_sim_feeder_done_count(), 0u);
}

} // namespace
