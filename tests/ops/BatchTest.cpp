#include <gtest/gtest.h>

#include <functional>

#include "ops/BatchCounter.h"
#include "OpsFixture.h"

namespace {

struct CounterCase {
    const char* name;
    std::vector<uint8_t> codes;
    std::vector<int> autoRunsAt;  // queries that start Auto
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
    testing::Values(CounterCase{"SixthSighting", {1, 1, 1, 1, 1, 1, 1, 1, 1}, {5}},
                    CounterCase{"RemovalRestartsTheCount", {1, 1, 1, 1, 1, 1, 0, 2, 2, 2, 2, 2, 2}, {5, 12}},
                    CounterCase{"HighCodesNeitherCountNorReset", {1, 0x80, 1, 0xFF, 1, 1, 1}, {}},
                    CounterCase{"HighCodeStillTriggersAtFive", {1, 1, 1, 1, 1, 0x80}, {5}}),
    [](const auto& info) { return info.param.name; });

// The window's side of the loop: its pump and its waits may handle a click.
struct PumpingHost : RecordingHost {
    std::function<void()> onPump;
    std::function<void(uint32_t)> onSleep;
    void pumpEvents() override
    {
        if (onPump)
            onPump();
    }
    void sleepMs(uint32_t milliseconds) override
    {
        RecordingHost::sleepMs(milliseconds);
        if (onSleep)
            onSleep(milliseconds);
    }
};

class BatchLoop : public OpsFixture {
protected:
    void SetUp() override
    {
        OpsFixture::SetUp();
        workbench.link.setSleep([this](uint32_t ms) { pumping.sleepMs(ms); });
        useFlash();
        workbench.buffers.dataLength = 0x100;
    }

    static size_t queries() { return commands(CommandBlock::Identify).size(); }

    // The button goes up as the given query is answered.
    void runFor(size_t lastQuery)
    {
        RunBatch(workbench, pumping, AutoOptions{}, [&] { return queries() < lastQuery; });
    }

    PumpingHost pumping;
};

TEST_F(BatchLoop, SeatedChipIsProgrammedOnTheSixthQueryOnly)
{
    runFor(30);

    const std::vector<uint8_t> opcodes = commandOpcodes();
    const auto session = std::find(opcodes.begin(), opcodes.end(), CommandBlock::BeginSession);
    // Six queries of the batch loop, then the one before every operation.
    EXPECT_EQ(std::count(opcodes.begin(), session, CommandBlock::Identify), 7);
    EXPECT_EQ(std::count(session, opcodes.end(), CommandBlock::BeginSession), 1);
    EXPECT_EQ(pumping.log, std::vector<std::string>{"AUTO Complete! (10:00:00)"});
    // 29 queries of the loop (the thirtieth Identify is the operation's own),
    // a pause after each but the last.
    EXPECT_EQ(std::count(pumping.sleeps.begin(), pumping.sleeps.end(), 150u), 28);
}

TEST_F(BatchLoop, NextChipAfterARemovalIsProgrammedToo)
{
    pumping.onPump = [&] {
        if (!workbench.busy && queries() == 10)
            belcor_sim_remove_chip();
        if (!workbench.busy && queries() == 11)
            seatChip({0, 0xEF4014, 0x1000, 256});
    };
    runFor(25);
    EXPECT_EQ(commands(CommandBlock::BeginSession).size(), 2u);
}

// STOP clicked while the loop waits, just before the query that would start
// Auto: the loop ends and the chip stays untouched.
struct StopCase {
    const char* name;
    uint32_t waitMs;  // the wait in which STOP is clicked
    size_t query;     // after this many queries
};

class BatchStop : public BatchLoop, public testing::WithParamInterface<StopCase> {};

TEST_P(BatchStop, NoChipIsTouchedAfterStop)
{
    bool buttonDown = true;
    pumping.onSleep = [&](uint32_t milliseconds) {
        if (milliseconds == GetParam().waitMs && queries() == GetParam().query)
            buttonDown = false;
    };
    RunBatch(workbench, pumping, AutoOptions{}, [&] { return buttonDown; });

    EXPECT_EQ(queries(), GetParam().query);
    EXPECT_TRUE(commands(CommandBlock::BeginSession).empty());
    EXPECT_TRUE(pumping.log.empty());
}

INSTANTIATE_TEST_SUITE_P(Waits, BatchStop,
                         testing::Values(StopCase{"PauseBetweenQueries", 150, 5},
                                         StopCase{"ReplyPauseOfTheSixthQuery", 50, 6}),
                         [](const auto& info) { return info.param.name; });

// STOP while Auto runs: Auto finishes, the loop ends, and a menu command
// clicked meanwhile is refused rather than mixed into Auto's blocks; between
// queries it runs.
TEST_F(BatchLoop, StopDuringAutoAndMenuCommands)
{
    bool buttonDown = true;
    bool inMenuCommand = false;
    std::vector<bool> menuRead;
    pumping.onPump = [&] {
        if (inMenuCommand || menuRead.size() == 2 || (!menuRead.empty() && !workbench.busy))
            return;
        buttonDown = menuRead.empty();
        inMenuCommand = true;
        menuRead.push_back(RunOperation(workbench, pumping, Operation::BlankCheck));
        inMenuCommand = false;
    };

    RunBatch(workbench, pumping, AutoOptions{}, [&] { return buttonDown; });

    EXPECT_EQ(menuRead, (std::vector<bool>{true, false}));
    EXPECT_EQ(pumping.log, (std::vector<std::string>{"AUTO Complete! (10:00:00)", "Bank Complete! (10:00:00)"}));
    // Six queries, and one before each of the two operations that ran.
    EXPECT_EQ(commands(CommandBlock::Identify).size(), 8u);
    EXPECT_EQ(commandOpcodes().back(), CommandBlock::EndSession);
}

}  // namespace
