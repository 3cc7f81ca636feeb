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

struct SelectionCase {
    const char* name;
    bool loaded;        // a file was loaded before
    int32_t nameIndex;  // the Name list position picked
    bool answer;        // to the question, if asked
    bool asked;
    bool kept;          // the loaded bytes are still there
    int32_t current;    // the record selected afterwards
};

class SelectionKeepsOrAsks : public UnsavedBufferTest, public testing::WithParamInterface<SelectionCase> {};

TEST_P(SelectionKeepsOrAsks, AsksOnlyBeforeDiscardingUnsavedData)
{
    const SelectionCase& c = GetParam();
    if (c.loaded)
        loadFile();
    host.answers = {c.answer};
    NameListChanged(workbench, host, c.nameIndex);
    EXPECT_EQ(host.questions.size(), c.asked ? 1u : 0u);
    if (c.asked) {
        EXPECT_EQ(host.questions[0], "The buffer holds data that was not written to a chip or saved. "
                                     "Discard it and select W25Q32?");
    }
    EXPECT_EQ(flash()[0] == 0x12, c.kept);
    EXPECT_EQ(workbench.catalogue.currentChip, c.current);
    EXPECT_EQ(workbench.catalogue.nameList.position, c.current);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionKeepsOrAsks,
    testing::Values(SelectionCase{"SameRecordKeepsTheFile", true, 0, false, false, true, 0},
                    SelectionCase{"OtherRecordAsksAndNoKeeps", true, 1, false, true, true, 0},
                    SelectionCase{"OtherRecordAsksAndYesDiscards", true, 1, true, true, false, 1},
                    SelectionCase{"NothingUnsavedNoQuestion", false, 1, false, false, false, 1}),
    [](const testing::TestParamInfo<SelectionCase>& info) { return std::string(info.param.name); });

TEST_F(UnsavedBufferTest, DetectOfTheSelectedChipKeepsTheLoadedFile)
{
    loadFile();
    EXPECT_EQ(DetectChip(workbench, host), DetectionOutcome::SerialFlashFound);
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(flash()[1], 0x34);
    EXPECT_EQ(workbench.buffers.dataLength, 2);
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
