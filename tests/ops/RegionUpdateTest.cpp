#include <gtest/gtest.h>

#include <random>

#include "OpsFixture.h"
#include "ops/UpdateOperations.h"

namespace {

constexpr uint32_t ChipSize = 0x40000;

struct RegionCase {
    const char* name;
    std::vector<StreamSpan> regions;
};

// A chip of random bytes and a buffer of other random bytes: every sector
// that a region touches needs an erase, and only the regions may change.
class RegionUpdate : public OpsFixture, public testing::WithParamInterface<RegionCase> {
protected:
    void SetUp() override
    {
        OpsFixture::SetUp();
        std::mt19937 random(7);
        old.resize(ChipSize);
        wanted.resize(ChipSize);
        for (uint32_t i = 0; i < ChipSize; ++i) {
            old[i] = uint8_t(random());
            wanted[i] = uint8_t(random());
        }
        useChip(chipRecord("SPI_FLASH,T,F", SpiFlash25, ChipSize, 256, 0xEF4012));
        ASSERT_EQ(belcor_sim_chip_write(0, old.data(), ChipSize), int(ChipSize));
        std::copy(wanted.begin(), wanted.end(), flash());
        workbench.buffers.dataLength = int32_t(ChipSize);
    }
    std::vector<uint8_t> chip() const
    {
        std::vector<uint8_t> bytes(ChipSize);
        belcor_sim_chip_read(0, bytes.data(), ChipSize);
        return bytes;
    }
    bool inRegion(uint32_t address, uint32_t unit) const
    {
        for (const StreamSpan& region : GetParam().regions) {
            if (address / unit >= region.start / unit && address / unit <= (region.end - 1) / unit)
                return true;
        }
        return false;
    }

    std::vector<uint8_t> old, wanted;
};

TEST_P(RegionUpdate, ChangesOnlyTheRegionsAndTouchesOnlyTheirBlocks)
{
    const std::vector<StreamSpan>& regions = GetParam().regions;
    UpdateOptions options;
    options.regions = regions;
    ASSERT_TRUE(RunUpdate(workbench, host, options)) << lastError();

    std::vector<uint8_t> expected = old;
    for (const StreamSpan& region : regions)
        std::copy(wanted.begin() + region.start, wanted.begin() + region.end, expected.begin() + region.start);
    EXPECT_TRUE(chip() == expected);
    // Reads, programs and erases stay in the regions' sectors.
    for (const belcor_sim_event& read : events(BELCOR_SIM_EVENT_DATA_IN))
        EXPECT_TRUE(inRegion(read.address, 0x1000)) << std::hex << read.address;
    for (const belcor_sim_event& written : events(BELCOR_SIM_EVENT_DATA_OUT))
        EXPECT_TRUE(inRegion(written.address, 0x1000)) << std::hex << written.address;
    for (const belcor_sim_event& command : commands(CommandBlock::ChipCommand)) {
        const uint8_t instruction = command.block[4];
        EXPECT_NE(instruction, 0xC7) << "no chip erase";
        if (instruction == 0x20 || instruction == 0xD8) {
            EXPECT_TRUE(inRegion(uint32_t(command.block[5]) << 16 | command.block[6] << 8 | command.block[7],
                                 instruction == 0x20 ? 0x1000 : 0x10000));
        }
    }

    EXPECT_TRUE(RunVerifyRegions(workbench, host, regions)) << lastError();
}

INSTANTIATE_TEST_SUITE_P(
    , RegionUpdate,
    testing::Values(RegionCase{"OneSector", {{0x11000, 0x12000}}},
                    RegionCase{"BytesInsideOneSector", {{0x1100, 0x1180}}},
                    RegionCase{"AcrossASectorEdge", {{0x2F80, 0x3080}}},
                    RegionCase{"TwoRegionsInOneBlock", {{0x20000, 0x21000}, {0x23000, 0x23800}}},
                    RegionCase{"WholeTopBlock", {{0x30000, 0x40000}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpsFixture, RegionVerifyComparesOnlyItsRegion)
{
    useFlash(0x10000);
    std::vector<uint8_t> image(0x10000, 0x5A);
    ASSERT_EQ(belcor_sim_chip_write(0, image.data(), 0x10000), 0x10000);
    std::copy(image.begin(), image.end(), flash());
    workbench.buffers.dataLength = 0x10000;
    const std::vector<StreamSpan> region{{0x4000, 0x5000}};
    const uint8_t changed = 0x00;
    ASSERT_EQ(belcor_sim_chip_write(0x3FFF, &changed, 1), 1);

    EXPECT_TRUE(RunVerifyRegions(workbench, host, region)) << lastError();
    ASSERT_EQ(belcor_sim_chip_write(0x4FFF, &changed, 1), 1);
    EXPECT_FALSE(RunVerifyRegions(workbench, host, region));
    EXPECT_NE(lastError().find("4FFF"), std::string::npos) << lastError();
}

TEST_F(OpsFixture, RegionPastTheChipIsRefusedBeforeTheSession)
{
    useFlash(0x10000);
    workbench.buffers.dataLength = 0x100;
    UpdateOptions options;
    options.regions = {{0x8000, 0x10001}};

    EXPECT_FALSE(RunUpdate(workbench, host, options));

    EXPECT_EQ(lastError(), "The region 1 (8000h to 10000h) passes the chip's end (10000h).");
    EXPECT_TRUE(commands().empty());
}

}  // namespace
