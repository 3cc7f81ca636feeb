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
    bool answer;
    bool asked;
    bool session;  // the operation went on to open its session
};

class IdentificationMismatch : public SeatedChipTest, public testing::WithParamInterface<MismatchCase> {};

// W25Q64 selected, W25Q128 seated: only what would change the chip asks.
TEST_P(IdentificationMismatch, AsksBeforeChangingTheChip)
{
    const MismatchCase& c = GetParam();
    seatChip({SpiFlash25, 0xEF4018, 0x1000, 256});
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
    testing::Values(MismatchCase{"EraseDeclined", Operation::Erase, false, true, false},
                    MismatchCase{"WriteDeclined", Operation::Write, false, true, false},
                    MismatchCase{"AutoAccepted", Operation::Auto, true, true, true},
                    MismatchCase{"ReadNeverAsks", Operation::Read, false, false, true},
                    MismatchCase{"VerifyNeverAsks", Operation::Verify, false, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SeatedChipTest, MatchingChipAsksNothing)
{
    seatChip({SpiFlash25, 0xEF4017, 0x1000, 256});
    EXPECT_TRUE(run(Operation::Auto));
    EXPECT_TRUE(host.questions.empty());
}

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
