#include <gtest/gtest.h>

#include "OpsFixture.h"

namespace {

class SeatedChipTest : public OpsFixture {
protected:
    void SetUp() override
    {
        OpsFixture::SetUp();
        setCurrentChip(chipRecord("SPI_FLASH,Winbond,W25Q64", SpiFlash25, 0x1000, 256, 0xEF4017));
        std::fill_n(flash(), 0x100, 0x3C);
        workbench.buffers.dataLength = 0x100;
    }
};

struct EmptySocketCase {
    const char* name;
    Operation operation;
};

class EmptySocket : public SeatedChipTest, public testing::WithParamInterface<EmptySocketCase> {};

TEST_P(EmptySocket, IsRefusedBeforeTheSession)
{
    EXPECT_FALSE(run(GetParam().operation));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"No chip in the socket"});
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(commands(CommandBlock::BeginSession).empty());
    EXPECT_EQ(commands(CommandBlock::Identify).size(), 1u);
    EXPECT_EQ(host.socketPictures, std::vector<SocketPicture>{SocketPicture::Empty});
}

INSTANTIATE_TEST_SUITE_P(Operations, EmptySocket,
                         testing::Values(EmptySocketCase{"Read", Operation::Read},
                                         EmptySocketCase{"Write", Operation::Write},
                                         EmptySocketCase{"BlankCheck", Operation::BlankCheck},
                                         EmptySocketCase{"Auto", Operation::Auto}),
                         [](const auto& info) { return std::string(info.param.name); });

struct MismatchCase {
    const char* name;
    Operation operation;
    bool accepts;   // the window's rule
    bool answer;
    bool asked;
    bool session;   // the operation went on to open its session
};

class IdentificationMismatch : public SeatedChipTest, public testing::WithParamInterface<MismatchCase> {};

// W25Q64 selected, W25Q128 seated: the window takes the pick as meant;
// elsewhere changing the chip asks first.
TEST_P(IdentificationMismatch, GoesOnInTheWindowAndAsksElsewhere)
{
    const MismatchCase& c = GetParam();
    seatChip({SpiFlash25, 0xEF4018, 0x1000, 256});
    workbench.acceptsOtherIdentification = c.accepts;
    host.answers = {c.answer};
    run(c.operation);
    ASSERT_EQ(host.questions.size(), c.asked ? 1u : 0u);
    if (c.asked) {
        EXPECT_EQ(host.questions[0], "The chip in the socket reports the ID EF4018, but the selected chip W25Q64 "
                                     "has the ID EF4017. Erase and write it anyway?");
    }
    EXPECT_EQ(!commands(CommandBlock::BeginSession).empty(), c.session);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, IdentificationMismatch,
    testing::Values(MismatchCase{"WindowErase", Operation::Erase, true, false, false, true},
                    MismatchCase{"WindowWrite", Operation::Write, true, false, false, true},
                    MismatchCase{"WindowAuto", Operation::Auto, true, false, false, true},
                    MismatchCase{"AskedEraseDeclined", Operation::Erase, false, false, true, false},
                    MismatchCase{"AskedAutoAccepted", Operation::Auto, false, true, true, true},
                    MismatchCase{"ReadNeverAsks", Operation::Read, false, false, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct FamilyCase {
    const char* name;
    ChipRecord selected;
    belcor_sim_chip seated;
    std::string refusal;
};

class OtherFamily : public SeatedChipTest, public testing::WithParamInterface<FamilyCase> {};

// The detection code names the family that answered: a chip of another one
// is refused before anything is read, with both families named.
TEST_P(OtherFamily, IsRefusedBeforeTheSession)
{
    setCurrentChip(GetParam().selected);
    seatChip(GetParam().seated);
    EXPECT_FALSE(run(Operation::Read));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{GetParam().refusal});
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(commands(CommandBlock::BeginSession).empty());
    EXPECT_TRUE(dataTransfers().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Families, OtherFamily,
    testing::Values(FamilyCase{"SerialFlashFor24Series", chipRecord("24_EEPROM,Atmel,AT24C02", I2cEeprom24, 256, 8),
                               {SpiFlash25, 0xEF4017, 0x1000, 256},
                               "The chip in the socket is a serial flash (25 series), but the selected chip AT24C02 "
                               "is a 24-series EEPROM. Select the chip in the socket."},
                    FamilyCase{"EepromForSerialFlash", chipRecord("SPI_FLASH,Winbond,W25Q64", SpiFlash25, 0x1000, 256,
                                                                  0xEF4017),
                               {I2cEeprom24, 0, 256, 8},
                               "The chip in the socket is a 24-series EEPROM, but the selected chip W25Q64 is a "
                               "serial flash (25 series). Select the chip in the socket."},
                    FamilyCase{"Microwire93For24Series", chipRecord("24_EEPROM,Atmel,AT24C02", I2cEeprom24, 256, 8),
                               {MicrowireEeprom93, 0, 256, 16},
                               "The chip in the socket is a 93-series EEPROM, but the selected chip AT24C02 is a "
                               "24-series EEPROM. Select the chip in the socket."}),
    [](const auto& info) { return std::string(info.param.name); });

class SilentFamily : public SeatedChipTest, public testing::WithParamInterface<uint8_t> {};

// 95-series and AVR chips tell nothing through Identify: no exchange.
TEST_P(SilentFamily, SkipsTheIdentification)
{
    useChip(chipRecord("95_EEPROM,ST,M95256", GetParam(), 0x100, 64));
    EXPECT_TRUE(run(Operation::Read));
    EXPECT_TRUE(commands(CommandBlock::Identify).empty());
    EXPECT_FALSE(commands(CommandBlock::BeginSession).empty());
}

INSTANTIATE_TEST_SUITE_P(Classes, SilentFamily, testing::Values(uint8_t(3), uint8_t(4)),
                         [](const auto& info) { return info.param == 3 ? "Eeprom95" : "Avr"; });

struct UnplugCase {
    const char* name;
    Operation operation;
    uint32_t after;  // bulk transfers before the programmer leaves, Identify's two included
    std::string message;
};

class UnpluggedMidOperation : public SeatedChipTest, public testing::WithParamInterface<UnplugCase> {};

TEST_P(UnpluggedMidOperation, SaysSoResetsTheBarsAndLogsIt)
{
    seatChip({SpiFlash25, 0xEF4017, 0x1000, 256});
    workbench.buffers.dataLength = 0x1000;
    belcor_sim_inject_fault(BELCOR_SIM_UNPLUG, GetParam().after);
    EXPECT_FALSE(run(GetParam().operation));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{GetParam().message});
    EXPECT_EQ(host.log, std::vector<std::string>{GetParam().message + " (10:00:00)"});
    ASSERT_FALSE(host.progressCalls.empty());
    EXPECT_EQ(host.progressCalls.back().kind, RecordingHost::ProgressCall::Hide);
    EXPECT_EQ(host.state(), "Not connected");
}

INSTANTIATE_TEST_SUITE_P(
    Operations, UnpluggedMidOperation,
    testing::Values(UnplugCase{"Read", Operation::Read, 8, "The programmer was disconnected during the read."},
                    UnplugCase{"Write", Operation::Write, 8, "The programmer was disconnected during the write."},
                    UnplugCase{"Verify", Operation::Verify, 7, "The programmer was disconnected during the verify."},
                    UnplugCase{"Auto", Operation::Auto, 9, "The programmer was disconnected during the AUTO run."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SeatedChipTest, OtherFailuresKeepTheirMessageAndLogNothing)
{
    seatChip({SpiFlash25, 0xEF4017, 0x1000, 256});
    belcor_sim_inject_fault(BELCOR_SIM_LOSE_REPLY, 6);
    EXPECT_FALSE(run(Operation::Read));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"Read failed at address 300h."});
    EXPECT_TRUE(host.log.empty());
    EXPECT_NE(host.progressCalls.back().kind, RecordingHost::ProgressCall::Hide);
}

}  // namespace
