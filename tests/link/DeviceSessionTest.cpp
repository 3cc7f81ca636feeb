#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "core/MessageCatalogue.h"
#include "link/CommandBlock.h"
#include "link/DeviceSession.h"
#include "support/SimulatorFixture.h"

namespace {

const std::string detected = "The programmer BelcorU2 is detected, and the working state is normal.";

ChipRecord chipOfClass(uint8_t chipClass)
{
    ChipRecord record{};
    std::strcpy(record.title, "SPI_FLASH,WINBOND,W25Q128");
    record.chipId = 0xEF4018;
    record.flashSize = 0x01000000;
    record.flashPage = 256;
    record.chipClass = chipClass;
    record.delay = 100;
    return record;
}

class DeviceSessionTest : public SimulatorFixture {};

TEST_F(DeviceSessionTest, ConnectionCheckLogsOnceATimeNewestOnTop)
{
    ConnectionCheck(workbench, host);
    ConnectionCheck(workbench, host);
    EXPECT_EQ(host.log, std::vector<std::string>{detected + " (10:00:00)"});
    host.timeText = "10:00:01";
    ConnectionCheck(workbench, host);
    EXPECT_EQ(host.log, (std::vector<std::string>{detected + " (10:00:01)", detected + " (10:00:00)"}));
    EXPECT_EQ(host.state(), "Connected");
    EXPECT_FALSE(workbench.link.isOpen());
    EXPECT_EQ(events(BELCOR_SIM_EVENT_CLOSE).size(), 3u);
}

TEST_F(DeviceSessionTest, ConnectionCheckIgnoresLetterCase)
{
    host.timeText = "10:00:00 pm";
    host.log = {"THE PROGRAMMER BELCORU2 IS DETECTED, AND THE WORKING STATE IS NORMAL. (10:00:00 PM)"};
    ConnectionCheck(workbench, host);
    EXPECT_EQ(host.log.size(), 1u);
    EXPECT_EQ(host.state(), "Connected");
}

TEST_F(DeviceSessionTest, ConnectionCheckUsesTheCurrentLanguage)
{
    workbench.languageIndex = SimplifiedChinese;
    ConnectionCheck(workbench, host);
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_EQ(host.log[0], MessageCatalogue::text(Msg::ProgrammerFound, SimplifiedChinese) + " (10:00:00)");
    EXPECT_EQ(host.state(), MessageCatalogue::text(Msg::Connected, SimplifiedChinese));
}

TEST_F(DeviceSessionTest, ConnectionCheckLeavesAnOpenSessionAlone)
{
    setCurrentChip(chipOfClass(SpiFlash25));
    ASSERT_EQ(DeviceSessionBegin(workbench, host), 6);
    const size_t before = transcript().size();
    const size_t states = host.stateTexts.size();
    ConnectionCheck(workbench, host);
    EXPECT_EQ(transcript().size(), before);
    EXPECT_EQ(host.stateTexts.size(), states);
    EXPECT_TRUE(workbench.link.isOpen());
    DeviceSessionEnd(workbench, host);
}

struct SessionCase {
    uint8_t chipClass;
    int result;
};

class SessionBegin : public DeviceSessionTest, public testing::WithParamInterface<SessionCase> {};

TEST_P(SessionBegin, ResultByClassAndLinkStaysOpen)
{
    const ChipRecord record = chipOfClass(GetParam().chipClass);
    setCurrentChip(record);
    workbench.speed = 0x12C;
    EXPECT_EQ(DeviceSessionBegin(workbench, host), GetParam().result);
    EXPECT_TRUE(workbench.link.isOpen());
    EXPECT_TRUE(workbench.busy);

    const auto begin = commands(CommandBlock::BeginSession);
    ASSERT_EQ(begin.size(), 1u);
    const CommandBlock expected =
        CommandBlock::beginSession(ChipParameters::fromRecord(record, 0x12C), ByteOrder::MsbFirst);
    EXPECT_EQ(0, std::memcmp(begin[0].block, expected.data(), CommandBlock::Size));
    EXPECT_EQ(events(BELCOR_SIM_EVENT_REPLY).size(), 1u);

    DeviceSessionEnd(workbench, host);
    EXPECT_FALSE(workbench.link.isOpen());
    EXPECT_FALSE(workbench.busy);
    EXPECT_EQ(host.state(), "Connected");
    EXPECT_EQ(commandOpcodes(), (std::vector<uint8_t>{CommandBlock::BeginSession, CommandBlock::EndSession}));
    EXPECT_EQ(commands(CommandBlock::EndSession)[0].block[0], 1);
}

INSTANTIATE_TEST_SUITE_P(Classes, SessionBegin,
                         testing::Values(SessionCase{0, 6}, SessionCase{1, 4}, SessionCase{2, 1}, SessionCase{3, 1},
                                         SessionCase{4, 1}),
                         [](const auto& info) { return "Class" + std::to_string(info.param.chipClass); });

TEST_F(DeviceSessionTest, SmallSendersInsideASession)
{
    setCurrentChip(chipOfClass(SpiFlash25));
    seatChip({0, 0xEF4018, 0x1000000, 256});
    ASSERT_EQ(DeviceSessionBegin(workbench, host), 6);
    host.sleeps.clear();

    EXPECT_EQ(EnterFourByteMode(workbench), CommandBlock::Size);
    EXPECT_EQ(SetStartAddress(workbench, 0x12345678, 0), CommandBlock::Size);
    EXPECT_EQ(host.sleeps, std::vector<uint32_t>{TUsbBulk::ReplyPauseMs});
    DeviceSessionEnd(workbench, host);

    const auto chipCommand = commands(CommandBlock::ChipCommand);
    ASSERT_EQ(chipCommand.size(), 1u);
    const uint8_t expectedChipCommand[] = {0x00, 0x0B, 0x03, 0x01, 0xB7};
    EXPECT_EQ(0, std::memcmp(chipCommand[0].block, expectedChipCommand, sizeof expectedChipCommand));
    const auto address = commands(CommandBlock::SetAddress);
    ASSERT_EQ(address.size(), 1u);
    const CommandBlock expectedAddress = CommandBlock::setAddress(0x12345678, ByteOrder::MsbFirst);
    EXPECT_EQ(0, std::memcmp(address[0].block, expectedAddress.data(), CommandBlock::Size));
}

TEST_F(DeviceSessionTest, IdentifyChipReadsTheReplyAndLeavesConnected)
{
    setCurrentChip(chipOfClass(SpiFlash25));
    seatChip({0, 0xEF4018, 0x1000000, 256});
    std::array<uint8_t, 4> reply{};
    EXPECT_EQ(IdentifyChip(workbench, host, reply), 7);
    EXPECT_EQ(reply, (std::array<uint8_t, 4>{CommandBlock::SerialFlashAnswered, 0xEF, 0x40, 0x18}));
    EXPECT_EQ(host.state(), "Connected");
    EXPECT_FALSE(workbench.link.isOpen());
    EXPECT_EQ(commandOpcodes(), (std::vector<uint8_t>{CommandBlock::Identify, CommandBlock::EndSession}));
}

// The block would still hold the command's bytes, whose first byte reads as
// an empty socket; a lost reply must not be mistaken for one.
TEST_F(DeviceSessionTest, LostRepliesAreFailuresNotAnswers)
{
    setCurrentChip(chipOfClass(SpiFlash25));
    seatChip({0, 0xEF4018, 0x1000000, 256});
    belcor_sim_inject_fault(BELCOR_SIM_LOSE_REPLY, 0);
    std::array<uint8_t, 4> reply{0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(IdentifyChip(workbench, host, reply), SessionExchangeFailed);
    EXPECT_EQ(reply, (std::array<uint8_t, 4>{0xAA, 0xAA, 0xAA, 0xAA}));
    EXPECT_FALSE(workbench.link.isOpen());

    belcor_sim_inject_fault(BELCOR_SIM_LOSE_REPLY, 0);
    EXPECT_EQ(DeviceSessionBegin(workbench, host), SessionExchangeFailed);
    ASSERT_EQ(host.errorBoxes.size(), 1u);
    EXPECT_EQ(host.errorBoxes.back(), "Communication with the programmer failed. Please try again.");
    DeviceSessionEnd(workbench, host);
    EXPECT_FALSE(workbench.busy);
}

TEST_F(DeviceSessionTest, WithoutProgrammer)
{
    belcor_sim_set_plugged(0);
    ConnectionCheck(workbench, host);
    EXPECT_EQ(host.state(), "Not connected");
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(host.errorBoxes.empty());

    std::array<uint8_t, 4> reply{1, 2, 3, 4};
    EXPECT_EQ(IdentifyChip(workbench, host, reply), 0);
    EXPECT_EQ(reply, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_TRUE(host.errorBoxes.empty());

    EXPECT_EQ(DeviceSessionBegin(workbench, host), 0);
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"Not connected"});
    EXPECT_FALSE(workbench.busy);
    EXPECT_LT(DeviceSessionEnd(workbench, host), 0);
    EXPECT_TRUE(commands().empty());
}

}  // namespace
