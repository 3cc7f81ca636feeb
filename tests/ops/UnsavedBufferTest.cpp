#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "buffers/BufferCommands.h"
#include "ops/SelectChip.h"
#include "OpsFixture.h"
#include "../buffers/TempFolder.h"

namespace {

// Two serial flashes of one maker, then an EEPROM type.
class UnsavedBufferTest : public OpsFixture {
protected:
    void SetUp() override
    {
        OpsFixture::SetUp();
        const ChipRecord records[] = {
            chipRecord("SPI_FLASH,Winbond,W25Q16", SpiFlash25, 0x1000, 256, 0xEF4015),
            chipRecord("SPI_FLASH,Winbond,W25Q32", SpiFlash25, 0x2000, 256, 0xEF4016),
            chipRecord("24_EEPROM,Atmel,AT24C02", I2cEeprom24, 256, 8),
        };
        std::copy(std::begin(records), std::end(records), workbench.catalogue.ChipDatabase.begin());
        SelectChip(workbench, host, 0, 0, 0);
        seatChip({SpiFlash25, 0xEF4015, 0x1000, 256});
    }

    // What the user typed: the view's copy differs from the buffer at `address`.
    void typeInView(uint32_t address, uint8_t value)
    {
        host.flashView.assign(flash(), flash() + 0x1000);
        host.flashView[address] = value;
        host.flashModified = true;
    }
    void loadFile()
    {
        const std::string path = folder.file("image.bin");
        std::ofstream(path, std::ios::binary) << "\x12\x34";
        OpenBufferFile(workbench, host, BufferTab::Flash, path);
    }

    TempFolder folder;
};

TEST_F(UnsavedBufferTest, SaveWritesWhatTheViewShows)
{
    typeInView(0, 0xAA);
    const std::string path = folder.file("saved.bin");
    SaveFlashBuffer(workbench, host, path);
    std::ifstream in(path, std::ios::binary);
    const std::string saved{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(saved.size(), 0x1000u);
    EXPECT_EQ(uint8_t(saved[0]), 0xAA);
    EXPECT_FALSE(workbench.buffers.unsaved);
}

TEST_F(UnsavedBufferTest, VerifyComparesWhatTheViewShows)
{
    typeInView(0x10, 0xAA);
    EXPECT_FALSE(run(Operation::Verify));
    EXPECT_EQ(lastError(), "Flash check error address:10h");
}

enum class Before { Nothing, LoadedFile, Filled, TypedBytes };

struct SelectionCase {
    const char* name;
    Before before;
    int32_t nameIndex;  // the Name list position picked
    bool answer;        // to the question, if asked
    bool asked;
    bool reset;         // the buffer is all 0xFF afterwards
    int32_t current;    // the record selected afterwards
};

class SelectionResets : public UnsavedBufferTest, public testing::WithParamInterface<SelectionCase> {};

// Every selection resets the buffer, the record already selected included;
// only typed bytes, which exist nowhere else, make it ask first.
TEST_P(SelectionResets, AsksOnlyForTypedBytes)
{
    const SelectionCase& c = GetParam();
    if (c.before == Before::LoadedFile)
        loadFile();
    if (c.before == Before::Filled) {
        ASSERT_TRUE(FillBuffer(workbench, host, FillRequest{FillMode::Byte, "12", "0", "0", "FF"}));
    }
    if (c.before == Before::TypedBytes)
        typeInView(0, 0x12);
    host.answers = {c.answer};
    NameListChanged(workbench, host, c.nameIndex);
    EXPECT_EQ(host.questions.size(), c.asked ? 1u : 0u);
    if (c.asked) {
        EXPECT_EQ(host.questions[0], "The buffer holds bytes typed in that were neither written to a chip nor saved. "
                                     "Discard them and select " + std::string(c.nameIndex ? "W25Q32" : "W25Q16") + "?");
    }
    EXPECT_EQ(flash()[0] == 0xFF && workbench.buffers.dataLength == 0, c.reset);
    EXPECT_EQ(workbench.catalogue.currentChip, c.current);
    EXPECT_EQ(workbench.catalogue.nameList.position, c.current);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionResets,
    testing::Values(SelectionCase{"LoadedFileSameRecord", Before::LoadedFile, 0, false, false, true, 0},
                    SelectionCase{"LoadedFileOtherRecord", Before::LoadedFile, 1, false, false, true, 1},
                    SelectionCase{"FillOtherRecord", Before::Filled, 1, false, false, true, 1},
                    SelectionCase{"TypedBytesSameRecordYes", Before::TypedBytes, 0, true, true, true, 0},
                    SelectionCase{"TypedBytesOtherRecordNo", Before::TypedBytes, 1, false, true, false, 0},
                    SelectionCase{"NothingOtherRecord", Before::Nothing, 1, false, false, true, 1}),
    [](const testing::TestParamInfo<SelectionCase>& info) { return std::string(info.param.name); });

TEST_F(UnsavedBufferTest, DetectOfTheSelectedChipDiscardsTheLoadedFile)
{
    loadFile();
    EXPECT_EQ(DetectChip(workbench, host), DetectionOutcome::SerialFlashFound);
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(flash()[1], 0xFF);
    EXPECT_EQ(workbench.buffers.dataLength, 0);
}

TEST_F(UnsavedBufferTest, ViewEditsCountAsUnsavedAndWriteSettlesThem)
{
    typeInView(0, 0x00);
    host.answers = {false};
    NameListChanged(workbench, host, 1);
    EXPECT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(flash()[0], 0x00);
    ASSERT_TRUE(run(Operation::Write));
    host.questions.clear();
    NameListChanged(workbench, host, 1);
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(workbench.catalogue.currentChip, 1);
}

}  // namespace
