#include <algorithm>
#include <gtest/gtest.h>

#include "OpsFixture.h"
#include "buffers/BufferSet.h"

namespace {

// Chip records the editor and the database file accept, chosen at the edges:
// chips smaller than one block, sizes that are no multiple of the block or
// the page, and the largest chip the buffer holds.
struct BoundsCase {
    const char* name;
    uint8_t chipClass;
    uint32_t size;
    uint16_t page;
};

std::vector<uint8_t> pattern(uint32_t size)
{
    std::vector<uint8_t> bytes(size);
    for (uint32_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 13 + (i >> 8) + 5);
    return bytes;
}

class BlockBounds : public OpsFixture, public testing::WithParamInterface<BoundsCase> {
protected:
    void SetUp() override
    {
        OpsFixture::SetUp();
        belcor_sim_set_transcript_enabled(0);
        const BoundsCase& c = GetParam();
        useChip(chipRecord("T,T,T", c.chipClass, c.size, c.page, c.chipClass == SpiFlash25 ? 0xEF4014 : 0));
    }

    static std::vector<uint8_t> chipContents(uint32_t size)
    {
        std::vector<uint8_t> bytes(size);
        EXPECT_EQ(belcor_sim_chip_read(0, bytes.data(), size), int(size));
        return bytes;
    }

    bool pagesDivideTheChip() const { return GetParam().size % GetParam().page == 0; }
};

// Every stream stays inside the chip (the simulator reports any transfer past
// its end) and inside the FLASH buffer (the sanitizers report any access past it).
TEST_P(BlockBounds, EveryOperationStaysInsideChipAndBuffer)
{
    const BoundsCase& c = GetParam();
    const std::vector<uint8_t> image = pattern(c.size);
    ASSERT_EQ(belcor_sim_chip_write(0, image.data(), c.size), int(c.size));

    ASSERT_TRUE(run(Operation::Read)) << lastError();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash()));
    if (c.size < BufferSet::FlashCapacity) {
        EXPECT_EQ(flash()[c.size], 0xFF);
    }

    if (c.chipClass == I2cEeprom24 && !pagesDivideTheChip()) {
        // Erase pages are whole pages: the last one would reach past the chip.
        EXPECT_FALSE(run(Operation::Erase));
        EXPECT_EQ(lastError(), "The chip size " + std::to_string(c.size) + " is not a whole number of " +
                                   std::to_string(c.page) + "-byte pages, so it cannot be erased page by page.");
        const std::vector<uint8_t> erased(c.size, 0xFF);
        belcor_sim_chip_write(0, erased.data(), c.size);
    } else if (c.chipClass <= MicrowireEeprom93) {
        ASSERT_TRUE(run(Operation::Erase)) << lastError();
    } else {
        const std::vector<uint8_t> erased(c.size, 0xFF);
        belcor_sim_chip_write(0, erased.data(), c.size);
    }
    EXPECT_TRUE(run(Operation::BlankCheck)) << lastError();

    workbench.buffers.dataLength = int32_t(c.size);
    ASSERT_TRUE(run(Operation::Write)) << lastError();
    ASSERT_TRUE(run(Operation::Verify)) << lastError();
    EXPECT_EQ(chipContents(c.size), image);

    // A range up to the chip's last byte. On a one-byte chip that range is
    // 0..0, whose end on a page boundary leaves no page to cover: refused.
    workbench.buffers.range = {int32_t(c.size / 2), int32_t(c.size - 1), true};
    const bool coversAPage = c.size > 1;
    EXPECT_EQ(run(Operation::Write), coversAPage) << lastError();
    EXPECT_EQ(run(Operation::Verify), coversAPage) << lastError();
}

INSTANTIATE_TEST_SUITE_P(
    Edges, BlockBounds,
    testing::Values(BoundsCase{"Flash64MiBPage200", SpiFlash25, 0x4000000, 200},
                    BoundsCase{"Flash16MiBAndAByte", SpiFlash25, 0x1000001, 256},
                    BoundsCase{"FlashOnePageAndAByte", SpiFlash25, 257, 256},
                    BoundsCase{"FlashPage255", SpiFlash25, 0x10000, 255},
                    BoundsCase{"Eeprom24C02Page8", I2cEeprom24, 256, 8},
                    BoundsCase{"Eeprom24PageNotDividingSize", I2cEeprom24, 1000, 64},
                    BoundsCase{"Eeprom24Page3", I2cEeprom24, 96, 3},
                    BoundsCase{"Eeprom24Page1", I2cEeprom24, 65, 1},
                    BoundsCase{"Microwire93SingleByte", MicrowireEeprom93, 1, 1},
                    BoundsCase{"Microwire93SmallerThanABlock", MicrowireEeprom93, 16, 2},
                    BoundsCase{"Eeprom95OneBlockAndAByte", SpiEeprom95, 65, 64},
                    BoundsCase{"AvrSmallerThanItsPage", Avr, 129, 256}),
    [](const auto& info) { return info.param.name; });

// A chip larger than the buffer: Verify of a full buffer on 200-byte pages
// would end its last block 136 bytes past the buffer.
TEST_F(OpsFixture, VerifyOfAChipLargerThanTheBufferStopsAtTheBuffersEnd)
{
    belcor_sim_set_transcript_enabled(0);
    useFlash(0x8000000, 200);
    workbench.buffers.dataLength = int32_t(BufferSet::FlashCapacity);

    EXPECT_TRUE(run(Operation::Verify)) << lastError();
}

// A 24C02 with the range 0xC8..0xFF: the span 0xC8..0x100 is less than one
// 64-byte block, and the block must end at the chip's end.
TEST_F(OpsFixture, RangeBlockStopsAtTheChipsEnd)
{
    useChip(chipRecord("24,T,24C02", I2cEeprom24, 256, 8));
    fillPattern(0x200);
    workbench.buffers.dataLength = 0x100;
    workbench.buffers.range = {0xC8, 0xFF, true};

    ASSERT_TRUE(run(Operation::Write)) << lastError();
    ASSERT_TRUE(run(Operation::Verify)) << lastError();

    const std::vector<belcor_sim_event> blocks = dataTransfers();
    ASSERT_EQ(blocks.size(), 2u);
    for (const belcor_sim_event& block : blocks) {
        EXPECT_EQ(block.address, 0xC8u);
        EXPECT_EQ(block.length, 0x38u);
    }
}

}  // namespace
