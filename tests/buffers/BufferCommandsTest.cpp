#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

#include "buffers/BufferCommands.h"
#include "ops/OwnedWorkbench.h"
#include "support/RecordingHost.h"
#include "TempFolder.h"

namespace {

const std::string FileTooLong =
    "File length is larger than chip capacity. Do you want to continue to transfer files?";

class BufferCommands : public ::testing::Test {
protected:
    BufferCommands() : workbench(std::make_unique<OwnedWorkbench>())
    {
        ChipRecord& chip = workbench->catalogue.ChipDatabase[0];
        std::strcpy(chip.title, "24,Maker,C512");
        chip.flashSize = 0x10000;
        chip.flashPage = 256;
        chip.eepromSize = 0x100;
        workbench->catalogue.currentChip = 0;
        workbench->languageIndex = 2;
        workbench->buffers.ResetBuffers(0x10000);
        host.defaultAnswer = true;
    }

    std::string binaryFile(const std::string& name, size_t size, uint8_t first)
    {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<uint8_t>(first + i);
        writeFile(folder.file(name), bytes);
        return folder.file(name);
    }

    void open(BufferTab tab, const std::string& path) { OpenBufferFile(*workbench, host, tab, path); }
    uint8_t* flash() { return workbench->buffers.flash(); }
    uint8_t* eeprom() { return workbench->buffers.eeprom(); }

    std::unique_ptr<OwnedWorkbench> workbench;
    RecordingHost host;
    TempFolder folder;
};

TEST_F(BufferCommands, OpenLoadsIntoTheFlashBuffer)
{
    const std::string path = binaryFile("a.bin", 100, 1);
    open(BufferTab::Flash, path);
    EXPECT_EQ(workbench->buffers.dataLength, 100);
    EXPECT_EQ(flash()[99], 100);
    EXPECT_EQ(flash()[100], 0xFF);
    EXPECT_EQ(host.flashBufferChanges, std::vector<uint32_t>{0x10000});
    EXPECT_EQ(host.log, std::vector<std::string>{"Open" + path + " (10:00:00)"});
    EXPECT_TRUE(host.questions.empty());
}

TEST_F(BufferCommands, OpenWithTheRangeLandsAtItsStart)
{
    workbench->buffers.range = {0x1000, 0xFFFF, true};
    open(BufferTab::Flash, binaryFile("a.bin", 100, 1));
    EXPECT_EQ(flash()[0xFFF], 0xFF);
    EXPECT_EQ(flash()[0x1000], 1);
    EXPECT_EQ(flash()[0x1063], 100);
    EXPECT_EQ(workbench->buffers.dataLength, 0x1064);
}

TEST_F(BufferCommands, OpenLongerThanTheChipTakenWhole)
{
    host.answers = {true};
    open(BufferTab::Flash, binaryFile("big.bin", 0x20000, 0));
    EXPECT_EQ(host.questions, std::vector<std::string>{FileTooLong});
    EXPECT_EQ(workbench->buffers.dataLength, 0x10000);
    EXPECT_EQ(flash()[0x1FFFE], 0xFE);  // the rest lies beyond the view
    EXPECT_EQ(flash()[0x10001], 0x01);
    EXPECT_EQ(host.flashBufferChanges, std::vector<uint32_t>{0x10000});
}

TEST_F(BufferCommands, OpenLongerThanTheChipDeclined)
{
    std::memset(flash(), 0x5A, 0x30000);
    workbench->buffers.dataLength = 7;
    host.answers = {false};
    open(BufferTab::Flash, binaryFile("big.bin", 0x20000, 0));
    EXPECT_EQ(workbench->buffers.dataLength, 7);
    EXPECT_EQ(std::count(flash(), flash() + 0x30000, 0x5A), 0x30000);
    EXPECT_TRUE(host.flashBufferChanges.empty());
    EXPECT_TRUE(host.log.empty());
}

TEST_F(BufferCommands, OpenUnreadableFileEndsTheCommand)
{
    open(BufferTab::Flash, folder.file("missing.bin"));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"Cannot open file " + folder.file("missing.bin")});
    EXPECT_TRUE(host.flashBufferChanges.empty());
    EXPECT_TRUE(host.log.empty());
}

TEST_F(BufferCommands, OpenWithTheRangeOutsideTheBufferIsRefused)
{
    for (int32_t start : {-1, 0x4000000}) {
        workbench->buffers.range = {start, 0xFFFF, true};
        host.errorBoxes.clear();
        open(BufferTab::Flash, binaryFile("a.bin", 100, 1));
        EXPECT_EQ(host.errorBoxes.size(), 1u);
        EXPECT_TRUE(host.log.empty());
        EXPECT_EQ(workbench->buffers.dataLength, 0);
    }
}

TEST_F(BufferCommands, OpenIntoTheEepromBufferRefillsIt)
{
    std::memset(eeprom(), 0x11, 0x2000);
    open(BufferTab::Eeprom, binaryFile("e.bin", 16, 0xA0));
    EXPECT_EQ(eeprom()[15], 0xAF);
    EXPECT_EQ(eeprom()[16], 0xFF);
    EXPECT_EQ(eeprom()[0x1FFF], 0xFF);
    EXPECT_EQ(host.eepromBufferChanges, std::vector<uint32_t>{0x100});
    EXPECT_TRUE(host.flashBufferChanges.empty());
    EXPECT_EQ(workbench->buffers.dataLength, 0);
    EXPECT_EQ(host.log.size(), 1u);
}

TEST_F(BufferCommands, OpenIntoTheEepromLongerThanItsSize)
{
    std::memset(eeprom(), 0x11, 0x2000);
    host.answers = {false, true};
    const std::string path = binaryFile("e.bin", 0x200, 0);
    open(BufferTab::Eeprom, path);
    EXPECT_EQ(std::count(eeprom(), eeprom() + 0x2000, 0x11), 0x2000);
    EXPECT_TRUE(host.eepromBufferChanges.empty());

    open(BufferTab::Eeprom, path);
    EXPECT_EQ(host.questions, (std::vector<std::string>{FileTooLong, FileTooLong}));
    EXPECT_EQ(eeprom()[0x1FF], 0xFF);
    EXPECT_EQ(eeprom()[0x1FE], 0xFE);
    EXPECT_EQ(eeprom()[0x200], 0xFF);
    EXPECT_EQ(host.eepromBufferChanges, std::vector<uint32_t>{0x100});
}

TEST_F(BufferCommands, OpenOnTheConfigTabOnlyLogs)
{
    open(BufferTab::Config, binaryFile("a.bin", 100, 1));
    EXPECT_EQ(flash()[0], 0xFF);
    EXPECT_TRUE(host.flashBufferChanges.empty());
    EXPECT_TRUE(host.eepromBufferChanges.empty());
    EXPECT_EQ(host.log.size(), 1u);
}

TEST_F(BufferCommands, LogLineInTheCurrentLanguage)
{
    workbench->languageIndex = 0;
    const std::string path = binaryFile("a.bin", 1, 1);
    open(BufferTab::Flash, path);
    EXPECT_EQ(host.firstLogLine(), "打开" + path + " (10:00:00)");
}

TEST_F(BufferCommands, CommandsRefusedWhileBusy)
{
    workbench->busy = true;
    open(BufferTab::Flash, binaryFile("a.bin", 100, 1));
    SaveFlashBuffer(*workbench, host, folder.file("out.bin"));
    FillRequest fill{FillMode::Byte, "00", "0", "0", "FF", 0};
    EXPECT_FALSE(FillBuffer(*workbench, host, fill));
    EXPECT_EQ(host.beepCount, 3);
    EXPECT_EQ(flash()[0], 0xFF);
    EXPECT_FALSE(std::filesystem::exists(folder.file("out.bin")));
    EXPECT_TRUE(host.log.empty());
}

TEST_F(BufferCommands, SaveWritesTheWholeFlashSize)
{
    workbench->buffers.dataLength = 4;
    workbench->buffers.range = {0x100, 0x1FF, true};
    std::memset(flash(), 0x42, 4);
    const std::string path = folder.file("out.bin");
    SaveFlashBuffer(*workbench, host, path);
    const std::string saved = readFile(path);
    ASSERT_EQ(saved.size(), 0x10000u);
    EXPECT_EQ(saved.substr(0, 5), std::string("\x42\x42\x42\x42\xFF"));
}

TEST_F(BufferCommands, SavedSourceFileReopensAsSRecords)
{
    std::memset(flash(), 0x00, 3);
    SaveFlashBuffer(*workbench, host, folder.file("x.src"));
    const std::string text = readFile(folder.file("x.src"));
    // A 64 KiB chip takes three-byte addresses.
    EXPECT_EQ(text.substr(0, 20), "S00600004844521B\r\nS2");

    std::memset(flash(), 0x55, 3);
    open(BufferTab::Flash, folder.file("x.src"));
    EXPECT_EQ(workbench->buffers.dataLength, 16);
    EXPECT_EQ(flash()[0], 0x00);
    std::filesystem::copy_file(folder.file("x.src"), folder.file("x.eep"));
    open(BufferTab::Flash, folder.file("x.eep"));
    EXPECT_EQ(workbench->buffers.dataLength, 16);
    EXPECT_EQ(flash()[0], 0x00);
    EXPECT_EQ(flash()[3], 0xFF);
}

}  // namespace

// A sysfs attribute that opens but refuses every read stands for a file whose
// read fails after it opened: the buffer, its data length and the view stay
// as they were, and the message names the read error.
TEST_F(BufferCommands, OpenWhoseReadFailsRestoresTheBuffer)
{
    const std::string path = "/sys/class/net/lo/speed";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << path << " is not available here";
    std::memset(flash(), 0x5A, 0x20000);
    std::memset(eeprom(), 0xA5, BufferSet::EepromCapacity);
    workbench->buffers.dataLength = 7;

    open(BufferTab::Flash, path);
    open(BufferTab::Eeprom, path);

    const std::string message = "Read error in file " + path + "; the buffer was left as it was.";
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>(2, message));
    EXPECT_EQ(workbench->buffers.dataLength, 7);
    EXPECT_EQ(std::count(flash(), flash() + 0x20000, 0x5A), 0x20000);
    EXPECT_EQ(std::count(eeprom(), eeprom() + BufferSet::EepromCapacity, 0xA5), BufferSet::EepromCapacity);
    EXPECT_TRUE(host.flashBufferChanges.empty());
    EXPECT_TRUE(host.eepromBufferChanges.empty());
    EXPECT_TRUE(host.log.empty());
}
