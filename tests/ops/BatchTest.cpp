#include <gtest/gtest.h>

#include <functional>

#include "ops/BatchCounter.h"
#include "ops/Workbench.h"
#include "OpsFixture.h"

namespace {

struct CounterCase {
    const char* name;
    std::vector<uint8_t> codes;
    std::vector<int> autoRunsAt;  // indexes of the queries that start Auto
};

class BatchCounting : public testing::TestWithParam<CounterCase> {};

TEST_P(BatchCounting, AutoRunsOncePerSeatedChip)
{
    BatchCounter counter;
    std::vector<int> runs;
    for (size_t i = 0; i < GetParam().codes.size(); ++i)
        if (counter.query(GetParam().codes[i]))
            runs.push_back(int(i));
    EXPECT_EQ(runs, GetParam().autoRunsAt);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, BatchCounting,
    testing::Values(CounterCase{"SixthSighting", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {5}},
                    CounterCase{"RemovalRestartsTheCount", {1, 1, 1, 1, 1, 1, 0, 2, 2, 2, 2, 2, 2}, {5, 12}},
                    CounterCase{"ShortRemovalWhileCounting", {1, 1, 1, 0, 1, 1, 1, 1, 1, 1}, {9}},
                    CounterCase{"HighCodesNeitherCountNorReset", {1, 0x80, 1, 0xFF, 1, 1, 1}, {}},
                    CounterCase{"HighCodeStillTriggersAtFive", {1, 1, 1, 1, 1, 0x80}, {5}},
                    CounterCase{"EmptySocket", {0, 0, 0, 0, 0, 0, 0}, {}}),
    [](const auto& info) { return info.param.name; });

// A host whose pump can act as the window would: handle a click.
struct PumpingHost : RecordingHost {
    std::function<void()> onPump;
    void pumpEvents() override
    {
        RecordingHost::pumpEvents();
        if (onPump)
            onPump();
    }
};

class BatchLoop : public OpsFixture {
protected:
    void SetUp() override
    {
        OpsFixture::SetUp();
        workbench.link.setSleep([this](uint32_t ms) { pumping.sleepMs(ms); });
        useChip(chipRecord("SPI_FLASH,T,B", SpiFlash25, 0x1000, 256, 0xEF4014));
        std::fill_n(flash(), 0x100, 0x42);
        workbench.buffers.dataLength = 0x100;
    }

    void runFor(int queries)
    {
        int done = 0;
        RunBatch(workbench, pumping, AutoOptions{}, [&] { return ++done < queries; });
    }

    static int sessions() { return int(commands(CommandBlock::BeginSession).size()); }

    PumpingHost pumping;
};

TEST_F(BatchLoop, SeatedChipIsProgrammedOnTheSixthQueryOnly)
{
    runFor(30);

    const std::vector<uint8_t> opcodes = commandOpcodes();
    const auto firstSession = std::find(opcodes.begin(), opcodes.end(), CommandBlock::BeginSession);
    EXPECT_EQ(std::count(opcodes.begin(), firstSession, CommandBlock::Identify), 6);
    EXPECT_EQ(sessions(), 1);
    EXPECT_EQ(commands(CommandBlock::Identify).size(), 30u);
    EXPECT_EQ(pumping.log, std::vector<std::string>{"AUTO Complete! (10:00:00)"});
    EXPECT_EQ(std::count(pumping.sleeps.begin(), pumping.sleeps.end(), 150u), 29);
}

TEST_F(BatchLoop, NextChipAfterARemovalIsProgrammedToo)
{
    pumping.onPump = [&] {
        if (workbench.busy)
            return;
        const size_t queries = commands(CommandBlock::Identify).size();
        if (queries == 10)
            belcor_sim_remove_chip();
        if (queries == 11)
            seatChip({0, 0xEF4014, 0x1000, 256});
    };
    runFor(25);
    EXPECT_EQ(sessions(), 2);
    EXPECT_EQ(pumping.log.size(), 2u);
}

// STOP arrives while Auto runs; Auto finishes, and a menu command clicked
// meanwhile is refused rather than mixed into its blocks.
TEST_F(BatchLoop, StopDuringAutoLetsItFinishThenEnds)
{
    bool buttonDown = true;
    bool menuReadAccepted = false;
    pumping.onPump = [&] {
        if (workbench.busy && buttonDown) {
            buttonDown = false;
            menuReadAccepted = RunOperation(workbench, pumping, Operation::Read);
        }
    };

    RunBatch(workbench, pumping, AutoOptions{}, [&] { return buttonDown; });

    EXPECT_FALSE(menuReadAccepted);
    EXPECT_EQ(pumping.log, std::vector<std::string>{"AUTO Complete! (10:00:00)"});
    EXPECT_EQ(commandOpcodes().back(), CommandBlock::EndSession);
    EXPECT_EQ(commands(CommandBlock::Identify).size(), 6u);
}

TEST_F(BatchLoop, MenuCommandsRunBetweenQueries)
{
    bool checked = false;
    pumping.onPump = [&] {
        if (!checked)
            checked = RunOperation(workbench, pumping, Operation::BlankCheck);
    };
    runFor(2);
    EXPECT_EQ(pumping.log, std::vector<std::string>{"Bank Complete! (10:00:00)"});
}

TEST_F(BatchLoop, AbsentProgrammerIsQueriedQuietly)
{
    belcor_sim_set_plugged(0);
    runFor(8);
    EXPECT_TRUE(pumping.errorBoxes.empty());
    EXPECT_EQ(std::count(pumping.sleeps.begin(), pumping.sleeps.end(), 150u), 7);
}

}  // namespace
