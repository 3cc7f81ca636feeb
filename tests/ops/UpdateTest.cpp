#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "OpsFixture.h"
#include "ops/UpdateOperations.h"
#include "ops/UpdatePlan.h"

namespace {

constexpr const char* ProtectedText =
    "The chip is write-protected (status register 1Ch: BP0, BP1, BP2). Use Operation > Remove protection first.";

// How one sector compares: table of present and wanted bytes.
struct ClassifyCase {
    const char* name;
    std::vector<uint8_t> present;
    std::vector<uint8_t> wanted;
    SectorState state;
};

class SectorClassification : public testing::TestWithParam<ClassifyCase> {};

TEST_P(SectorClassification, TellsWhatTheSectorNeeds)
{
    const ClassifyCase& c = GetParam();
    EXPECT_EQ(ClassifySector(c.present.data(), c.wanted.data(), uint32_t(c.present.size())), c.state);
}

INSTANTIATE_TEST_SUITE_P(
    States, SectorClassification,
    testing::Values(ClassifyCase{"Equal", {0x12, 0xFF, 0x00}, {0x12, 0xFF, 0x00}, SectorState::Equal},
                    ClassifyCase{"BlankToData", {0xFF, 0xFF, 0xFF}, {0x12, 0xFF, 0x00}, SectorState::ProgramOnly},
                    ClassifyCase{"BitsOnlyCleared", {0xF3, 0x7F, 0x01}, {0x33, 0x7F, 0x00}, SectorState::ProgramOnly},
                    ClassifyCase{"OneBitRaised", {0xF3, 0x7F, 0x01}, {0x33, 0xFF, 0x00}, SectorState::NeedsErase},
                    ClassifyCase{"DataToBlank", {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF}, SectorState::NeedsErase}),
    [](const auto& info) { return info.param.name; });

// Plans for a 256 KiB chip holding 0x55 everywhere, with programming blocks of 256 bytes.
struct PlanCase {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> change;
    uint32_t skipped, programmed, erased;
    bool chipErase;
    size_t sectorErases, blockErases, programRuns;
};

class FlashPlans : public testing::TestWithParam<PlanCase> {};

TEST_P(FlashPlans, EraseOnlyWhatMustBeErased)
{
    const PlanCase& c = GetParam();
    constexpr uint32_t size = 0x40000;
    const std::vector<uint8_t> present(size, 0x55);
    std::vector<uint8_t> target = present;
    c.change(target);

    const UpdatePlan plan = PlanFlashUpdate(present.data(), target.data(), size, 256);

    EXPECT_EQ(plan.skipped, c.skipped);
    EXPECT_EQ(plan.programmed, c.programmed);
    EXPECT_EQ(plan.erased, c.erased);
    EXPECT_EQ(plan.chipErase, c.chipErase);
    const auto count = [&](EraseUnit unit) {
        return size_t(std::count_if(plan.erases.begin(), plan.erases.end(),
                                    [&](const UpdatePlan::Erase& erase) { return erase.unit == unit; }));
    };
    EXPECT_EQ(count(EraseUnit::Sector), c.sectorErases);
    EXPECT_EQ(count(EraseUnit::Block), c.blockErases);
    EXPECT_EQ(plan.programs.size(), c.programRuns);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, FlashPlans,
    testing::Values(
        PlanCase{"NothingChanged", [](auto&) {}, 64, 0, 0, false, 0, 0, 0},
        PlanCase{"OneByteClearedProgramsOneBlock", [](auto& t) { t[0x1234] = 0x54; }, 63, 1, 0, false, 0, 0, 1},
        PlanCase{"OneByteRaisedErasesOneSector", [](auto& t) { t[0x1234] = 0x57; }, 63, 0, 1, false, 1, 0, 1},
        PlanCase{"BlankedSectorIsErasedOnly", [](auto& t) { std::fill_n(t.begin() + 0x3000, 0x1000, 0xFF); }, 63, 0, 1,
                 false, 1, 0, 0},
        PlanCase{"WholeBlockRaisedTakesABlockErase",
                 [](auto& t) { std::fill_n(t.begin() + 0x10000, 0x10000, 0x77); }, 48, 0, 16, false, 0, 1, 1},
        PlanCase{"EverythingRaisedTakesTheChipErase", [](auto& t) { std::fill(t.begin(), t.end(), 0x77); }, 0, 0, 64,
                 true, 0, 0, 1}),
    [](const auto& info) { return info.param.name; });

constexpr uint32_t ChipSize = 0x20000;

std::vector<uint8_t> chipContents(uint32_t size)
{
    std::vector<uint8_t> bytes(size);
    EXPECT_EQ(belcor_sim_chip_read(0, bytes.data(), size), int(size));
    return bytes;
}

class UpdateTest : public OpsFixture {
protected:
    void seatHolding(const ChipRecord& record, const std::vector<uint8_t>& image)
    {
        useChip(record);
        ASSERT_EQ(belcor_sim_chip_write(0, image.data(), uint32_t(image.size())), int(image.size()));
    }
    void load(const std::vector<uint8_t>& image, int32_t length)
    {
        std::copy(image.begin(), image.end(), flash());
        workbench.buffers.dataLength = length;
    }
    ChipRecord flashChip(uint32_t size = ChipSize) const
    {
        return chipRecord("SPI_FLASH,T,F", SpiFlash25, size, 256, 0xEF4014);
    }
};

// An old image changed the ways a new firmware changes one: sectors kept,
// bits only cleared, bytes rewritten, sectors blanked; with or without a range.
class UpdateEqualsAuto : public UpdateTest, public testing::WithParamInterface<uint32_t> {};

TEST_P(UpdateEqualsAuto, ByteForByte)
{
    std::mt19937 random(GetParam());
    std::vector<uint8_t> old(ChipSize), wanted(ChipSize);
    for (uint8_t& byte : old)
        byte = uint8_t(random());
    wanted = old;
    for (uint32_t sector = 0; sector < ChipSize; sector += 0x1000) {
        const uint32_t kind = random() % 5;
        for (uint32_t i = sector; i < sector + 0x1000; ++i) {
            if (kind == 1)
                wanted[i] &= uint8_t(random());
            else if (kind == 2 && random() % 64 == 0)
                wanted[i] = uint8_t(random());
            else if (kind == 3)
                wanted[i] = 0xFF;
        }
    }
    const int32_t length = int32_t(ChipSize - random() % (ChipSize / 2));
    const bool ranged = GetParam() % 3 == 0;

    const auto program = [&](const std::function<bool()>& operation) {
        seatHolding(flashChip(), old);
        load(wanted, length);
        workbench.buffers.range = {0x2345, 0x1ABCD, ranged};
        EXPECT_TRUE(operation()) << lastError();
        return chipContents(ChipSize);
    };
    const std::vector<uint8_t> updated = program([&] { return RunUpdate(workbench, host); });
    const std::vector<uint8_t> automatic = program([&] { return run(Operation::Auto); });
    EXPECT_TRUE(updated == automatic);
}

INSTANTIATE_TEST_SUITE_P(Seeds, UpdateEqualsAuto, testing::Range(1u, 9u),
                         [](const auto& info) { return "Seed" + std::to_string(info.param); });

TEST_F(UpdateTest, LogsWhatItDidAndVerifiesWhatItTouched)
{
    std::vector<uint8_t> image(ChipSize, 0x55);
    seatHolding(flashChip(), image);
    image[0x1234] = 0x54;  // programmed
    image[0x5678] = 0x57;  // erased
    load(image, ChipSize);

    ASSERT_TRUE(RunUpdate(workbench, host)) << lastError();

    EXPECT_EQ(host.log, std::vector<std::string>{
                            "Update Complete! Sectors: 30 skipped, 1 programmed, 1 erased. (10:00:00)"});
    EXPECT_EQ(chipContents(ChipSize), image);
    EXPECT_EQ(commands(CommandBlock::ChipCommand).size(), 2u) << "write enable and one sector erase";
    // The read covers the chip, the verify the two sectors touched.
    EXPECT_EQ(events(BELCOR_SIM_EVENT_DATA_IN).size(), ChipSize / 256 + 2 * 16);
}

// Sectors on both sides of 16 MiB: erase instructions carry four address
// bytes, so neither lands in the lower half.
TEST_F(UpdateTest, SectorsAtTheSixteenMiBBoundaryOfALargerChip)
{
    constexpr uint32_t size = 0x2000000;
    belcor_sim_set_transcript_enabled(0);
    std::vector<uint8_t> image(size, 0xFF);
    std::fill_n(image.begin() + 0xFFE000, 0x4000, 0x00);
    seatHolding(flashChip(size), image);
    image[0xFFF010] = 0x5A;
    image[0x1000020] = 0xA5;
    load(image, size);

    ASSERT_TRUE(RunUpdate(workbench, host)) << lastError();

    EXPECT_TRUE(chipContents(size) == image);
    std::vector<uint32_t> erased;
    for (const belcor_sim_event& command : commands(CommandBlock::ChipCommand))
        if (command.block[4] == 0x20 && command.block[3] == 5)
            erased.push_back(uint32_t(command.block[5]) << 24 | command.block[6] << 16 | command.block[7] << 8 |
                             command.block[8]);
    EXPECT_EQ(erased, (std::vector<uint32_t>{0xFFF000, 0x1000000}));
}

TEST_F(UpdateTest, ProtectedChipIsRefusedUntilProtectionIsRemoved)
{
    std::vector<uint8_t> image(ChipSize, 0x55);
    seatHolding(flashChip(), image);
    ASSERT_EQ(belcor_sim_chip_set_status(0x1C), 0);
    image[0x100] = 0x57;
    load(image, ChipSize);

    EXPECT_FALSE(RunUpdate(workbench, host));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{ProtectedText});
    EXPECT_TRUE(events(BELCOR_SIM_EVENT_DATA_OUT).empty());

    EXPECT_TRUE(RunRemoveProtection(workbench, host));
    EXPECT_EQ(host.log.front(), "Protection removed! (10:00:00)");
    EXPECT_TRUE(RunUpdate(workbench, host));
    EXPECT_EQ(chipContents(ChipSize), image);
}

struct ProtectedWriteCase {
    const char* name;
    Operation operation;
    std::vector<std::string> log;
};

class ProtectedWrite : public UpdateTest, public testing::WithParamInterface<ProtectedWriteCase> {};

// Write and AUTO keep their own sequence in the window, BeginSession then the
// stream, with no status check first, and after a failed verify only its box:
// no status poll, no log line.
TEST_P(ProtectedWrite, StreamsWithoutStatusChecks)
{
    std::vector<uint8_t> image(ChipSize, 0x55);
    seatHolding(flashChip(), std::vector<uint8_t>(ChipSize, 0xFF));
    ASSERT_EQ(belcor_sim_chip_set_status(0x1C), 0);
    load(image, ChipSize);

    run(GetParam().operation);

    const std::vector<uint8_t> opcodes = commandOpcodes();
    const auto session = std::find(opcodes.begin(), opcodes.end(), CommandBlock::BeginSession);
    ASSERT_TRUE(session != opcodes.end() && session + 1 != opcodes.end());
    EXPECT_NE(session[1], CommandBlock::PollStatus);
    const auto end = std::find(opcodes.rbegin(), opcodes.rend(), CommandBlock::EndSession);
    ASSERT_TRUE(end != opcodes.rend() && end + 1 != opcodes.rend());
    EXPECT_NE(end[1], CommandBlock::PollStatus);
    EXPECT_FALSE(events(BELCOR_SIM_EVENT_DATA_OUT).empty());
    EXPECT_EQ(host.log, GetParam().log);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ProtectedWrite,
    testing::Values(ProtectedWriteCase{"Write", Operation::Write, {"Write Complete! (10:00:00)"}},
                    ProtectedWriteCase{"Auto", Operation::Auto, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateTest, LostPollReplyEndsWithItsMessageAndNothingDone)
{
    std::vector<uint8_t> image(ChipSize, 0x55);
    seatHolding(flashChip(), image);
    image[0x3000] = 0x57;
    load(image, ChipSize);
    // Replies: BeginSession 0, the protection poll 1, SetAddress 2, 512 blocks, then the erase's first poll.
    belcor_sim_inject_fault(BELCOR_SIM_LOSE_REPLY, 3 + ChipSize / 256);

    EXPECT_FALSE(RunUpdate(workbench, host));

    expectFailedWith("Erase failed at address 3000h.");
}

// A 24C256 with 1 KiB changed: only the 16 pages that differ are written.
TEST_F(UpdateTest, EepromWritesOnlyTheChangedPages)
{
    constexpr uint32_t size = 0x8000;
    std::vector<uint8_t> image(size);
    std::mt19937 random(5);
    for (uint8_t& byte : image)
        byte = uint8_t(random());
    seatHolding(chipRecord("24_EEPROM,T,24C256", I2cEeprom24, size, 64), image);
    for (uint32_t i = 0x400; i < 0x800; ++i)
        image[i] ^= 0x81;
    load(image, size);

    ASSERT_TRUE(RunUpdate(workbench, host)) << lastError();

    EXPECT_EQ(events(BELCOR_SIM_EVENT_DATA_OUT).size(), 16u);
    EXPECT_EQ(chipContents(size), image);
    EXPECT_EQ(host.log, std::vector<std::string>{"Update Complete! Pages: 496 skipped, 16 written. (10:00:00)"});
}

}  // namespace
