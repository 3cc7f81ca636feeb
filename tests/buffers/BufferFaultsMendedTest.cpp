#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "buffers/BufferCommands.h"
#include "buffers/BufferSet.h"
#include "buffers/Fill.h"
#include "ops/OwnedWorkbench.h"
#include "support/RecordingHost.h"
#include "TempFolder.h"

namespace {

constexpr int English = 2;

struct WordFillCase {
    const char* name;
    const char* start;
    const char* end;
    std::vector<uint8_t> expectedFromZero;  // after filling 1234 into a buffer of 0xC3
};

class BufferFaultsMended : public testing::TestWithParam<WordFillCase> {};

// Words lie at even addresses, low byte first; the fill touches exactly the
// range, whatever the parity of its ends.
TEST_P(BufferFaultsMended, WordFillCoversExactlyTheRange)
{
    const auto buffers = std::make_unique<BufferSet>();
    std::memset(buffers->flash(), 0xC3, 0x10);
    RecordingHost host;

    ASSERT_TRUE(FillFlashBuffer(*buffers, host, {FillMode::Word, "FF", "1234", GetParam().start, GetParam().end},
                                English));

    const std::vector<uint8_t>& expected = GetParam().expectedFromZero;
    EXPECT_EQ(std::vector<uint8_t>(buffers->flash(), buffers->flash() + expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Words, BufferFaultsMended,
    testing::Values(WordFillCase{"OddStart", "1", "4", {0xC3, 0x12, 0x34, 0x12, 0x34, 0xC3}},
                    WordFillCase{"OddEnd", "0", "2", {0x34, 0x12, 0x34, 0xC3}},
                    WordFillCase{"OddStartAndEnd", "1", "3", {0xC3, 0x12, 0x34, 0x12, 0xC3}},
                    WordFillCase{"OneOddByte", "3", "3", {0xC3, 0xC3, 0xC3, 0x12, 0xC3}}),
    [](const auto& info) { return std::string(info.param.name); });

struct RecordLoadCase {
    const char* name;
    const char* file;
    const char* text;  // a good first record, then a fault
    const char* message;
};

class BufferFaultsMendedRecordLoad : public testing::TestWithParam<RecordLoadCase> {
protected:
    BufferFaultsMendedRecordLoad() : workbench(std::make_unique<OwnedWorkbench>())
    {
        ChipRecord& chip = workbench->catalogue.ChipDatabase[0];
        std::strcpy(chip.title, "24,Maker,C512");
        chip.flashSize = 0x10000;
        chip.flashPage = 256;
        workbench->catalogue.currentChip = 0;
        workbench->languageIndex = English;
        workbench->buffers.ResetBuffers(0x10000);
    }

    std::unique_ptr<OwnedWorkbench> workbench;
    RecordingHost host;
    TempFolder folder;
};

// The records before the fault would leave a buffer that is neither the old
// image nor the file's, and the log would claim the file open.
TEST_P(BufferFaultsMendedRecordLoad, LeavesTheBufferAsItWasAndLogsNoOpen)
{
    const RecordLoadCase& c = GetParam();
    BufferSet& buffers = workbench->buffers;
    std::memset(buffers.flash(), 0x5A, 0x100);
    buffers.dataLength = 0x100;
    buffers.sourceFile = "before.bin";
    buffers.range = {0x20, 0xFFFF, true};
    writeFile(folder.file(c.file), std::string(c.text));

    EXPECT_FALSE(OpenBufferFile(*workbench, host, BufferTab::Flash, folder.file(c.file)));

    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{c.message});
    EXPECT_EQ(std::count(buffers.flash(), buffers.flash() + 0x100, 0x5A), 0x100);
    EXPECT_EQ(buffers.dataLength, 0x100);
    EXPECT_EQ(buffers.sourceFile, "before.bin");
    EXPECT_TRUE(host.flashBufferChanges.empty());
    EXPECT_TRUE(host.log.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, BufferFaultsMendedRecordLoad,
    testing::Values(RecordLoadCase{"IntelHex", "bad.hex", ":0100000011EE\r\n:01000100", "Illegal Char in File"},
                    RecordLoadCase{"SRecord", "bad.s19", "S10500001122C7\r\nS1050002334400\r\n", "Checksum Error"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
