#include <gtest/gtest.h>

#include "ops/Workbench.h"
#include "OpsFixture.h"

namespace {

class FrameTest : public OpsFixture {
protected:
    void SetUp() override
    {
        OpsFixture::SetUp();
        useChip(chipRecord("SPI_FLASH,T,F", SpiFlash25, 0x1000, 256, 0xEF4014));
    }
};

TEST_F(FrameTest, WriteAndVerifyWithoutDataDoNothing)
{
    EXPECT_FALSE(run(Operation::Write));
    EXPECT_FALSE(run(Operation::Verify));
    workbench.buffers.dataLength = -5;
    EXPECT_FALSE(run(Operation::Auto));
    EXPECT_TRUE(transcript().empty());
    EXPECT_TRUE(host.elapsedTexts.empty());
    EXPECT_TRUE(host.errorBoxes.empty());
    EXPECT_EQ(host.beepCount, 0);
}

TEST_F(FrameTest, WriteTakesOverViewEditsUpToTheChipSize)
{
    host.flashView.assign(0x1800, 0x5A);
    host.flashModified = true;

    ASSERT_TRUE(run(Operation::Write));

    EXPECT_EQ(workbench.buffers.dataLength, 0x1000);
    EXPECT_EQ(flash()[0xFFF], 0x5A);
    EXPECT_EQ(flash()[0x1000], 0xFF);
    EXPECT_FALSE(host.flashModified);
    EXPECT_EQ(dataOf(BELCOR_SIM_EVENT_DATA_OUT).size(), 0x10u);
}

TEST_F(FrameTest, UnpluggedProgrammerIsReportedOnce)
{
    belcor_sim_set_plugged(0);

    EXPECT_FALSE(run(Operation::Read));

    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"Not connected"});
    EXPECT_EQ(host.state(), "Not connected");
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(host.elapsedTexts.empty());
    EXPECT_EQ(host.beepCount, 0);
    EXPECT_FALSE(workbench.busy);
}

TEST_F(FrameTest, CommandArrivingDuringASessionIsRefused)
{
    workbench.busy = true;
    EXPECT_FALSE(run(Operation::Read));
    EXPECT_EQ(host.beepCount, 1);
    EXPECT_TRUE(transcript().empty());
    EXPECT_TRUE(host.errorBoxes.empty());
}

TEST_F(FrameTest, BusyForTheWholeSession)
{
    bool busyAtEveryPump = true;
    struct : RecordingHost {
        Workbench* bench = nullptr;
        bool* busy = nullptr;
        void pumpEvents() override { *busy = *busy && bench->busy; }
    } pumping;
    pumping.bench = &workbench;
    pumping.busy = &busyAtEveryPump;
    workbench.link.setSleep([&](uint32_t ms) { pumping.sleepMs(ms); });

    ASSERT_TRUE(RunOperation(workbench, pumping, Operation::Read));

    EXPECT_TRUE(busyAtEveryPump);
    EXPECT_FALSE(workbench.busy);
}

TEST_F(FrameTest, TwoOperationsLogNewestFirst)
{
    ASSERT_TRUE(run(Operation::Read));
    host.timeText = "10:00:05";
    ASSERT_TRUE(run(Operation::BlankCheck));
    EXPECT_EQ(host.log, (std::vector<std::string>{"Bank Complete! (10:00:05)", "Read Complete! (10:00:00)"}));
}

// The clock the frame uses only ever moves on, so a run that passes midnight
// still shows its true duration.
TEST_F(FrameTest, ElapsedTimeAcrossMidnight)
{
    host.clockMs = 24 * 3600 * 1000 - 1000;  // 23:59:59
    belcor_sim_set_erase_time_ms(3000);

    ASSERT_TRUE(run(Operation::Erase));

    const int64_t seconds = (workbench.endMs - workbench.startMs) / 1000;
    char expected[16];
    std::snprintf(expected, sizeof expected, "00:00:%02d", int(seconds));
    EXPECT_GE(seconds, 3);
    EXPECT_EQ(host.elapsedTexts, std::vector<std::string>{expected});
}

TEST_F(FrameTest, PageSizeOutsideOneTo256IsRefused)
{
    for (const uint16_t page : {uint16_t(0), uint16_t(512)}) {
        ChipRecord record = chipRecord("SPI_FLASH,T,F", SpiFlash25, 0x1000, page, 0xEF4014);
        setCurrentChip(record);
        EXPECT_FALSE(run(Operation::Erase));
    }
    EXPECT_EQ(host.errorBoxes, (std::vector<std::string>{"The chip's page size 0 is not supported.",
                                                         "The chip's page size 512 is not supported."}));
    EXPECT_TRUE(transcript().empty());
}

TEST_F(FrameTest, ChipLargerThanTheBufferIsNotRead)
{
    setCurrentChip(chipRecord("SPI_FLASH,T,F", SpiFlash25, 0x8000000, 256, 0xEF4014));
    EXPECT_FALSE(run(Operation::Read));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"The chip is larger than the 64 MiB buffer."});
    EXPECT_TRUE(transcript().empty());
}

class AutoTest : public FrameTest {};

TEST_F(AutoTest, ErasesProgramsWaitsAndVerifies)
{
    std::fill_n(flash(), 0x200, 0x3C);
    workbench.buffers.dataLength = 0x200;

    ASSERT_TRUE(run(Operation::Auto));

    const std::vector<uint8_t> opcodes = commandOpcodes();
    EXPECT_EQ(opcodes.front(), CommandBlock::BeginSession);
    EXPECT_EQ(opcodes[1], CommandBlock::Erase);
    EXPECT_EQ(startAddresses(), (std::vector<uint32_t>{0, 0}));
    EXPECT_EQ(dataOf(BELCOR_SIM_EVENT_DATA_OUT).size(), 2u);
    EXPECT_EQ(dataOf(BELCOR_SIM_EVENT_DATA_IN).size(), 2u);
    EXPECT_EQ(std::count(host.sleeps.begin(), host.sleeps.end(), 350u), 1);
    EXPECT_EQ(host.log, std::vector<std::string>{"AUTO Complete! (10:00:00)"});
}

TEST_F(AutoTest, WithoutVerifyLogsNothing)
{
    workbench.buffers.dataLength = 0x100;
    ASSERT_TRUE(run(Operation::Auto, {true, true, false}));
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.elapsedTexts.size(), 1u);

    belcor_sim_transcript_clear();
    ASSERT_TRUE(run(Operation::Auto, {false, false, false}));
    EXPECT_EQ(commandOpcodes(), (std::vector<uint8_t>{7, 8}));
    EXPECT_EQ(host.beepCount, 2);
}

// Every lost or failed transfer ends the operation with a message naming it and
// the chip address; nothing is logged as done.
struct FaultCase {
    const char* name;
    Operation operation;
    int fault;
    uint32_t after;
    std::string message;
};

class TransferFaults : public FrameTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(TransferFaults, EndTheOperationWithItsMessage)
{
    const FaultCase& c = GetParam();
    workbench.buffers.dataLength = 0x1000;
    const int32_t lengthBefore = workbench.buffers.dataLength;
    belcor_sim_inject_fault(c.fault, c.after);
    expectNoProtocolErrors = false;  // a vanished programmer leaves a session unfinished

    EXPECT_FALSE(run(c.operation));

    expectFailedWith(c.message);
    EXPECT_EQ(workbench.buffers.dataLength, lengthBefore);
}

// Replies and bulk reads are counted together: the BeginSession reply is the
// first, SetAddress's the second, then the data blocks.
INSTANTIATE_TEST_SUITE_P(
    Faults, TransferFaults,
    testing::Values(
        FaultCase{"LostReplyMidRead", Operation::Read, BELCOR_SIM_LOSE_REPLY, 5, "Read failed at address 300h."},
        FaultCase{"LostAddressReply", Operation::Read, BELCOR_SIM_LOSE_REPLY, 1, "Read failed at address 0h."},
        FaultCase{"LostReplyMidBlankCheck", Operation::BlankCheck, BELCOR_SIM_LOSE_REPLY, 3,
                  "Blank check failed at address 100h."},
        FaultCase{"LostReplyMidVerify", Operation::Verify, BELCOR_SIM_LOSE_REPLY, 4,
                  "Verify failed at address 200h."},
        FaultCase{"LostPollReply", Operation::Erase, BELCOR_SIM_LOSE_REPLY, 1, "Erase failed at address 0h."},
        FaultCase{"UnplugMidWrite", Operation::Write, BELCOR_SIM_UNPLUG, 6, "Write failed at address 300h."},
        FaultCase{"UnplugBeforeErase", Operation::Erase, BELCOR_SIM_UNPLUG, 2, "Erase failed at address 0h."}),
    [](const auto& info) { return info.param.name; });

}  // namespace
