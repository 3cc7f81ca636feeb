#include <gtest/gtest.h>

#include "core/MessageCatalogue.h"
#include "production/TileState.h"

namespace {

using Chip = GangRun::SeatView::Chip;
using Tone = TileState::Tone;

struct TileCase {
    const char* name;
    bool attached;
    bool seated;  // a gang holds the programmer
    bool running;
    Chip chip;
    Msg step;  // the state text the operation routines set, in `stepLanguage`
    int stepLanguage;
    uint32_t position;
    uint32_t maximum;
    const char* lastResult;
    const char* expected;
    Tone tone;
};

std::string nameOfCase(const testing::TestParamInfo<TileCase>& info)
{
    return info.param.name;
}

class TileStateTest : public testing::TestWithParam<TileCase> {};

TEST_P(TileStateTest, SaysWhatTheProgrammerDoesInWords)
{
    const TileCase& c = GetParam();
    GangRun::SeatView seat;
    seat.running = c.running;
    seat.chip = c.chip;
    seat.state = c.step == Msg::Count ? std::string() : MessageCatalogue::text(c.step, c.stepLanguage);
    seat.position = c.position;
    seat.maximum = c.maximum;
    seat.lastResult = c.lastResult;
    seat.lastMessage = "Verify failed at address 0x100.";
    const TileState state = TileState::of(c.seated ? &seat : nullptr, c.attached, English);
    EXPECT_EQ(state.text, c.expected);
    EXPECT_EQ(state.tone, c.tone);
}

constexpr int En = English;
constexpr int Zh = SimplifiedChinese;

INSTANTIATE_TEST_SUITE_P(
    Tiles, TileStateTest,
    testing::Values(
        TileCase{"GoneFromTheBus", false, true, true, Chip::UnderWay, Msg::Writing, En, 1, 2, "", "Not connected", Tone::Bad},
        TileCase{"NeverStarted", true, false, false, Chip::None, Msg::Count, En, 0, 0, "", "Idle", Tone::Quiet},
        TileCase{"SocketEmpty", true, true, true, Chip::None, Msg::AutoDone, En, 0, 0, "pass", "Waiting for a chip", Tone::Quiet},
        TileCase{"Erasing", true, true, true, Chip::UnderWay, Msg::Erasing, En, 0, 0, "", "Erasing", Tone::Busy},
        TileCase{"ProgrammingPercent", true, true, true, Chip::UnderWay, Msg::Writing, En, 43, 100, "", "Programming 43 %", Tone::Busy},
        TileCase{"ProgressPastItsEnd", true, true, true, Chip::UnderWay, Msg::Writing, En, 9, 8, "", "Programming 100 %", Tone::Busy},
        TileCase{"ProgressWithoutMaximum", true, true, true, Chip::UnderWay, Msg::Writing, En, 5, 0, "", "Programming 0 %", Tone::Busy},
        TileCase{"StepInAnotherLanguage", true, true, true, Chip::UnderWay, Msg::Verifying, Zh, 1, 2, "", "Verifying", Tone::Busy},
        TileCase{"LinkLostMidChip", true, true, true, Chip::UnderWay, Msg::NotConnected, En, 0, 0, "", "Not connected", Tone::Bad},
        TileCase{"PassedStillSeated", true, true, true, Chip::Done, Msg::AutoDone, En, 0, 0, "pass", "Passed", Tone::Good},
        TileCase{"FailedStillSeated", true, true, true, Chip::Done, Msg::Verifying, En, 0, 0, "fail",
                 "Failed: Verify failed at address 0x100.", Tone::Bad},
        TileCase{"Stopped", true, true, false, Chip::Done, Msg::AutoDone, En, 0, 0, "pass", "Idle", Tone::Quiet}),
    nameOfCase);

}  // namespace
