#include <gtest/gtest.h>

#include <fstream>

#include "UpgradeFixture.h"
#include "core/MessageCatalogue.h"
#include "link/CommandBlock.h"
#include "maint/FirmwareUpgrade.h"
#include "maint/HardwareInfo.h"

namespace {

constexpr uint32_t DefaultStart = 0x08003000;

uint32_t u32At(const uint8_t* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

std::string english(Msg id)
{
    return MessageCatalogue::text(id, English);
}

class FirmwareUpgradeTest : public UpgradeFixture {};

TEST_F(FirmwareUpgradeTest, SendsTheImageFromOffset0x3000ForTheFileLength)
{
    const std::string path = writeFirmware(0x13000);
    ASSERT_TRUE(UpgradeFirmware(workbench, host, path));

    // The programmer was sent into its boot loader.
    ASSERT_EQ(commands(CommandBlock::EnterUpgrade).size(), 1u);

    const std::vector<belcor_sim_event> reports = hidReports();
    ASSERT_EQ(reports.size(), 3u + 1256u + 1u);
    EXPECT_EQ(reports[0].block[1], 0x01);
    EXPECT_EQ(reports[1].block[1], 0x05);
    const uint8_t* prepare = reports[2].block;
    EXPECT_EQ(prepare[1], 0x02);
    EXPECT_EQ(u32At(prepare + 2), DefaultStart);
    EXPECT_EQ(prepare[6], 0x13000 / 1024);
    EXPECT_EQ(u32At(prepare + 7), 0x13000u);
    EXPECT_EQ(reports.back().block[1], 0x04);
    for (const belcor_sim_event& report : reports) {
        EXPECT_EQ(report.length, 64u);
        EXPECT_EQ(report.block[0], 1) << "report id";
    }
    // Unused bytes of the command reports are zero.
    for (size_t i : {0u, 1u, 3u + 1256u})
        for (size_t b = 2; b < 64; ++b)
            ASSERT_EQ(reports[i].block[b], 0) << "report " << i << " byte " << b;
    for (size_t b = 11; b < 64; ++b)
        ASSERT_EQ(prepare[b], 0) << "byte " << b;
    EXPECT_EQ(events(BELCOR_SIM_EVENT_HID_IN).size(), 3u);

    // File bytes 0x3000..0x12FFF, then 0xFF up to the announced length.
    std::vector<uint8_t> sent;
    for (size_t i = 3; i < 3 + 1256; ++i) {
        EXPECT_EQ(reports[i].block[1], 0x03);
        sent.insert(sent.end(), reports[i].block + 2, reports[i].block + 64);
    }
    ASSERT_EQ(sent.size(), 1256u * 62u);
    for (uint32_t i = 0; i < sent.size(); ++i) {
        const uint8_t expected = i < 0x10000 ? firmwareByte(0x3000 + i) : 0xFF;
        ASSERT_EQ(sent[i], expected) << "image offset " << i;
    }
    EXPECT_EQ(lastImage(), std::vector<uint8_t>(sent.begin(), sent.begin() + 0x13000));
    EXPECT_FALSE(workbench.hid.isOpen());
    EXPECT_FALSE(workbench.busy);
}

TEST_F(FirmwareUpgradeTest, ReportsProgressAndWaitsThroughTheHost)
{
    ASSERT_TRUE(UpgradeFirmware(workbench, host, writeFirmware(200)));

    ASSERT_EQ(host.progressCalls.size(), 1u + 4u + 1u);
    EXPECT_EQ(host.progressCalls.front(), (RecordingHost::ProgressCall{RecordingHost::ProgressCall::Show, 200}));
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(host.progressCalls[1 + i], (RecordingHost::ProgressCall{RecordingHost::ProgressCall::Set, i * 62}));
    EXPECT_EQ(host.progressCalls.back(), (RecordingHost::ProgressCall{RecordingHost::ProgressCall::Set, 0}));

    // Attempts 100 ms apart until the boot loader is there, 100 ms before the
    // data, and only the link's reply pauses besides.
    std::vector<uint32_t> upgradeSleeps;
    for (uint32_t ms : host.sleeps)
        if (ms != 50)
            upgradeSleeps.push_back(ms);
    ASSERT_GE(upgradeSleeps.size(), 2u);
    for (uint32_t ms : upgradeSleeps)
        EXPECT_EQ(ms, 100u);
    EXPECT_GE(host.pumpCount, 4);
}

// A good upgrade says nothing: no box, no log line.
TEST_F(FirmwareUpgradeTest, GoodUpgradeLogsNothingAndShowsNoBox)
{
    ASSERT_TRUE(UpgradeFirmware(workbench, host, writeFirmware(200)));
    EXPECT_TRUE(host.errorBoxes.empty());
    EXPECT_TRUE(host.informationBoxes.empty());
    EXPECT_TRUE(host.log.empty());
}

// Image and page arithmetic for files of several sizes.
struct ShapeCase {
    const char* name;
    uint32_t fileSize;
    uint16_t pageSize;
    uint8_t pagesByte;
    size_t dataReports;
};

class UpgradeShape : public UpgradeFixture, public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(UpgradeShape, AnnouncesPagesAndSendsWholeReports)
{
    const ShapeCase& c = GetParam();
    belcor_sim_set_bootloader(0x08004000, c.pageSize);
    ASSERT_TRUE(UpgradeFirmware(workbench, host, writeFirmware(c.fileSize)));

    const std::vector<belcor_sim_event> reports = hidReports();
    ASSERT_EQ(reports.size(), 3u + c.dataReports + 1u);
    EXPECT_EQ(u32At(reports[2].block + 2), 0x08004000u);
    EXPECT_EQ(reports[2].block[6], c.pagesByte);
    EXPECT_EQ(u32At(reports[2].block + 7), c.fileSize);
    const std::vector<uint8_t> image = lastImage();
    ASSERT_EQ(image.size(), c.fileSize);
    for (uint32_t i = 0; i < image.size(); ++i) {
        const uint8_t expected = 0x3000 + i < c.fileSize ? firmwareByte(0x3000 + i) : 0xFF;
        ASSERT_EQ(image[i], expected) << "image offset " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpgradeShape,
    ::testing::Values(ShapeCase{"RemainderAddsAPage", 2049, 1024, 3, 34},
                      ShapeCase{"ExactPages", 2048, 1024, 2, 34},
                      ShapeCase{"HeaderOnlyIsAllFF", 0x3000, 1024, 12, 199},
                      ShapeCase{"SmallFileIsAllFF", 100, 1024, 1, 2},
                      ShapeCase{"PageCountLowByteOnly", 0x13000, 256, 0x30, 1256},
                      ShapeCase{"OneReportExactly", 62, 2048, 1, 1},
                      ShapeCase{"FullBlockTailIsFF", 0x100000, 2048, 0, 16913}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FirmwareUpgradeTest, FileTooBigStopsBeforeTheProgrammerLeaves)
{
    EXPECT_FALSE(UpgradeFirmware(workbench, host, writeFirmware(0x100001, "big.bin")));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"File is too big for Buffer"});
    EXPECT_TRUE(hidReports().empty());
    EXPECT_TRUE(commands(CommandBlock::EnterUpgrade).empty());
    EXPECT_FALSE(belcor_sim_in_bootloader());
}

TEST_F(FirmwareUpgradeTest, EmptyOrMissingFileIsReported)
{
    EXPECT_FALSE(UpgradeFirmware(workbench, host, writeFirmware(0)));
    EXPECT_FALSE(UpgradeFirmware(workbench, host, (folder / "absent.fwpk").string()));
    ASSERT_EQ(host.errorBoxes.size(), 2u);
    EXPECT_EQ(host.errorBoxes[0], english(Msg::FirmwareFileEmpty));
    EXPECT_NE(host.errorBoxes[1].find("absent.fwpk"), std::string::npos);
    EXPECT_TRUE(transcript().empty());
}

TEST_F(FirmwareUpgradeTest, PageSizeZeroIsRefusedBeforeAnyData)
{
    belcor_sim_set_bootloader(DefaultStart, 0);
    EXPECT_FALSE(UpgradeFirmware(workbench, host, writeFirmware(0x4000)));
    EXPECT_EQ(hidCommands(), (std::vector<uint8_t>{0x01, 0x05}));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{english(Msg::UpgradePageSizeZero)});
    EXPECT_TRUE(host.informationBoxes.empty());
    EXPECT_FALSE(workbench.hid.isOpen());
}

TEST_F(FirmwareUpgradeTest, BootLoaderThatNeverAppearsIsReported)
{
    belcor_sim_set_plugged(0);
    EXPECT_FALSE(UpgradeFirmware(workbench, host, writeFirmware(0x4000)));
    EXPECT_EQ(host.sleeps, std::vector<uint32_t>(500, 100));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{english(Msg::BootLoaderNotFound)});
    EXPECT_TRUE(hidReports().empty());
    EXPECT_TRUE(host.progressCalls.empty());
}

TEST_F(FirmwareUpgradeTest, ProgrammerAlreadyInItsBootLoaderIsUpgraded)
{
    // An earlier upgrade left the programmer in its boot loader, off the bus.
    ASSERT_EQ(workbench.link.prog_open(BELCOR_SIM_VENDOR_ID, BELCOR_SIM_MANUFACTURER, BELCOR_SIM_PRODUCT_ID,
                                       BELCOR_SIM_PRODUCT),
              1);
    CommandBlock block;
    block.reuseForEnterUpgrade();
    workbench.link.USB_bulk_cmd(block.data(), CommandBlock::Size, 1);
    workbench.link.USB_bulk_close();
    belcor_sim_advance_ms(1000);
    ASSERT_TRUE(belcor_sim_in_bootloader());
    belcor_sim_transcript_clear();

    EXPECT_TRUE(UpgradeFirmware(workbench, host, writeFirmware(0x3100)));
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(hidCommands().back(), 0x04);
}

// A host whose window loop pulls the programmer out after some reports.
class UnpluggingHost : public RecordingHost {
public:
    int unplugAtPump = 0;
    void pumpEvents() override
    {
        RecordingHost::pumpEvents();
        if (pumpCount == unplugAtPump)
            belcor_sim_set_plugged(0);
    }
};

TEST_F(FirmwareUpgradeTest, LostBootLoaderEndsTheUpgradeWithAMessage)
{
    UnpluggingHost unplugging;
    unplugging.unplugAtPump = 20;
    EXPECT_FALSE(UpgradeFirmware(workbench, unplugging, writeFirmware(0x13000)));
    EXPECT_EQ(unplugging.errorBoxes, std::vector<std::string>{english(Msg::UpgradeTransferFailed)});
    EXPECT_TRUE(unplugging.informationBoxes.empty());
    EXPECT_TRUE(unplugging.log.empty());
    const std::vector<uint8_t> sent = hidCommands();
    ASSERT_FALSE(sent.empty());
    EXPECT_NE(sent.back(), 0x04);
    EXPECT_EQ(unplugging.progressCalls.back(), (RecordingHost::ProgressCall{RecordingHost::ProgressCall::Set, 0}));
    EXPECT_FALSE(workbench.hid.isOpen());
    EXPECT_FALSE(workbench.busy);
}

TEST_F(FirmwareUpgradeTest, BusyWorkbenchRefusesTheUpgrade)
{
    workbench.busy = true;
    EXPECT_FALSE(UpgradeFirmware(workbench, host, writeFirmware(0x4000)));
    EXPECT_EQ(host.beepCount, 1);
    EXPECT_TRUE(transcript().empty());
    EXPECT_TRUE(workbench.busy);
}

class HardwareInfoTest : public UpgradeFixture {};

TEST_F(HardwareInfoTest, ReadsTheThreeTexts)
{
    belcor_sim_set_versions("H3.1", "V4.56", "SN12345678901");
    HardwareInfo info;
    ASSERT_TRUE(HardwareInfo::query(workbench.link, info));
    EXPECT_EQ(info.hardware, "H3.1");
    EXPECT_EQ(info.firmware, "V4.56");
    EXPECT_EQ(info.serial, "SN12345678901");
    EXPECT_FALSE(workbench.link.isOpen());
    EXPECT_EQ(commandOpcodes(), std::vector<uint8_t>{CommandBlock::GetHardwareInfo});
    const belcor_sim_event request = commands().front();
    for (size_t b = 2; b < 64; ++b)
        ASSERT_EQ(request.block[b], 0) << "byte " << b;
}

TEST_F(HardwareInfoTest, AbsentProgrammerOrLostReplyKeepsTheTexts)
{
    HardwareInfo info{"a", "b", "c"};
    belcor_sim_inject_fault(BELCOR_SIM_LOSE_REPLY, 0);
    EXPECT_FALSE(HardwareInfo::query(workbench.link, info));
    belcor_sim_set_plugged(0);
    EXPECT_FALSE(HardwareInfo::query(workbench.link, info));
    EXPECT_EQ(info.hardware, "a");
    EXPECT_EQ(info.firmware, "b");
    EXPECT_EQ(info.serial, "c");
}

TEST_F(HardwareInfoTest, ShowsTheVersionTheNewImageCarries)
{
    std::string path = writeFirmware(0x8000);
    {
        // The image names its version behind a marker at image offset 0x200.
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(0x3000 + 0x200);
        file.write("BELCORFWV9.87", 13);
    }
    ASSERT_TRUE(UpgradeFirmware(workbench, host, path));
    HardwareInfo info;
    ASSERT_TRUE(HardwareInfo::query(workbench.link, info));
    EXPECT_EQ(info.firmware, "V9.87");
}

}  // namespace
