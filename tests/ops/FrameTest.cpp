#include <gtest/gtest.h>

#include "OpsFixture.h"

namespace {

class FrameTest : public OpsFixture {
protected:
    void SetUp() override
    {
        OpsFixture::SetUp();
        useFlash();
    }
};

TEST_F(FrameTest, WriteVerifyAndAutoWithoutDataDoNothing)
{
    EXPECT_FALSE(run(Operation::Write));
    EXPECT_FALSE(run(Operation::Verify));
    workbench.buffers.dataLength = -5;
    EXPECT_FALSE(run(Operation::Auto));
    EXPECT_TRUE(transcript().empty());
    EXPECT_TRUE(host.elapsedTexts.empty());
    EXPECT_EQ(host.beepCount, 0);
}

TEST_F(FrameTest, WriteTakesOverViewEditsUpToTheChipSize)
{
    host.flashView.assign(0x1800, 0x5A);
    host.flashModified = true;

    ASSERT_TRUE(run(Operation::Write));

    EXPECT_EQ(workbench.buffers.dataLength, 0x1000);
    EXPECT_EQ(flash()[0x1000], 0xFF);
    EXPECT_FALSE(host.flashModified);
    EXPECT_EQ(blockAddresses().size(), 0x10u);
}

TEST_F(FrameTest, UnpluggedProgrammerIsReportedOnce)
{
    belcor_sim_set_plugged(0);
    EXPECT_FALSE(run(Operation::Read));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"Not connected"});
    EXPECT_EQ(host.state(), "Not connected");
    EXPECT_TRUE(host.elapsedTexts.empty());
    EXPECT_FALSE(workbench.busy);
}

// A click handled during a block loop must not start a second session on the link.
TEST_F(FrameTest, BusyForTheWholeSessionAndRefusingOthers)
{
    struct : RecordingHost {
        Workbench* bench = nullptr;
        int refused = 0;
        void pumpEvents() override
        {
            if (bench->busy && !RunOperation(*bench, *this, Operation::Erase))
                ++refused;
        }
    } clicking;
    clicking.bench = &workbench;
    workbench.link.setSleep([&](uint32_t ms) { clicking.sleepMs(ms); });

    ASSERT_TRUE(RunOperation(workbench, clicking, Operation::Read));

    EXPECT_EQ(clicking.refused, 0x1000 / 256);
    EXPECT_EQ(clicking.beepCount, 1 + 0x1000 / 256);
    EXPECT_TRUE(commands(CommandBlock::Erase).empty());
    EXPECT_FALSE(workbench.busy);
}

TEST_F(FrameTest, RecordsThatWouldOverrunABufferAreRefused)
{
    setCurrentChip(chipRecord("S,T,F", SpiFlash25, 0x1000, 512, 0xEF4014));
    EXPECT_FALSE(run(Operation::BlankCheck));
    setCurrentChip(chipRecord("S,T,F", SpiFlash25, 0x8000000, 256, 0xEF4014));
    EXPECT_FALSE(run(Operation::Read));
    EXPECT_EQ(host.errorBoxes, (std::vector<std::string>{"The chip's page size 512 is not supported.",
                                                         "The chip is larger than the 64 MiB buffer."}));
    EXPECT_TRUE(transcript().empty());
}

TEST_F(FrameTest, AutoErasesProgramsWaitsAndVerifies)
{
    std::fill_n(flash(), 0x200, 0x3C);
    workbench.buffers.dataLength = 0x200;

    ASSERT_TRUE(run(Operation::Auto));

    // After the Identify cycle, BeginSession and at once the erase.
    EXPECT_EQ(commandOpcodes()[2], CommandBlock::BeginSession);
    EXPECT_EQ(commandOpcodes()[3], CommandBlock::Erase);
    EXPECT_EQ(blockAddresses(BELCOR_SIM_EVENT_DATA_OUT), (std::vector<uint32_t>{0, 0x100}));
    EXPECT_EQ(blockAddresses(BELCOR_SIM_EVENT_DATA_IN), (std::vector<uint32_t>{0, 0x100}));
    EXPECT_EQ(std::count(host.sleeps.begin(), host.sleeps.end(), 350u), 1);
    EXPECT_EQ(host.log, std::vector<std::string>{"AUTO Complete! (10:00:00)"});
}

TEST_F(FrameTest, AutoWithoutVerifyLogsNothing)
{
    workbench.buffers.dataLength = 0x100;
    ASSERT_TRUE(run(Operation::Auto, {true, true, false}));
    ASSERT_TRUE(run(Operation::Auto, {false, false, false}));
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.elapsedTexts.size(), 2u);
    EXPECT_EQ(commands(CommandBlock::BeginSession).size(), 2u);
}

struct FaultCase {
    const char* name;
    Operation operation;
    int fault;
    uint32_t after;
    std::string message;
};

class TransferFaults : public FrameTest, public testing::WithParamInterface<FaultCase> {};

// A lost or failed transfer ends the operation with a message naming it and
// the address; nothing is logged as done and the data length stays.
TEST_P(TransferFaults, EndTheOperationWithItsMessage)
{
    workbench.buffers.dataLength = 0x1000;
    belcor_sim_inject_fault(GetParam().fault, GetParam().after);

    EXPECT_FALSE(run(GetParam().operation));

    expectFailedWith(GetParam().message);
    EXPECT_EQ(workbench.buffers.dataLength, 0x1000);
    EXPECT_EQ(host.state(), "Connected");
}

// Lost replies count replies and bulk reads (Identify's reply is 0,
// BeginSession's 1, SetAddress's 2). An unplug is reported as such (see
// SeatedChipTest).
INSTANTIATE_TEST_SUITE_P(
    Faults, TransferFaults,
    testing::Values(
        FaultCase{"LostReplyMidRead", Operation::Read, BELCOR_SIM_LOSE_REPLY, 6, "Read failed at address 300h."},
        FaultCase{"LostAddressReply", Operation::Read, BELCOR_SIM_LOSE_REPLY, 2, "Read failed at address 0h."},
        FaultCase{"LostReplyMidBlankCheck", Operation::BlankCheck, BELCOR_SIM_LOSE_REPLY, 4,
                  "Blank check failed at address 100h."},
        FaultCase{"LostReplyMidVerify", Operation::Verify, BELCOR_SIM_LOSE_REPLY, 5,
                  "Verify failed at address 200h."},
        FaultCase{"LostPollReply", Operation::Erase, BELCOR_SIM_LOSE_REPLY, 2, "Erase failed at address 0h."}),
    [](const auto& info) { return info.param.name; });

}  // namespace
