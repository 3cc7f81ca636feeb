#include <gtest/gtest.h>

#include <optional>

#include "core/MessageCatalogue.h"
#include "production/SeatHost.h"
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
    SeatStep step;
    uint32_t position;
    uint32_t maximum;
    std::optional<ChipResult> lastResult;
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
    seat.step = c.step;
    seat.position = c.position;
    seat.maximum = c.maximum;
    seat.lastResult = c.lastResult;
    seat.lastMessage = "Verify failed at address 0x100.";
    const TileState state = TileState::of(c.seated ? &seat : nullptr, c.attached, English);
    EXPECT_EQ(state.text, c.expected);
    EXPECT_EQ(state.tone, c.tone);
}

using Step = SeatStep;
constexpr std::nullopt_t None = std::nullopt;
constexpr ChipResult Pass = ChipResult::Pass;
constexpr ChipResult Fail = ChipResult::Fail;

INSTANTIATE_TEST_SUITE_P(
    Tiles, TileStateTest,
    testing::Values(
        TileCase{"GoneFromTheBus", false, true, true, Chip::UnderWay, Step::Programming, 1, 2, None, "Not connected", Tone::Bad},
        TileCase{"NeverStarted", true, false, false, Chip::None, Step::Other, 0, 0, None, "Idle", Tone::Quiet},
        TileCase{"SocketEmpty", true, true, true, Chip::None, Step::Other, 0, 0, Pass, "Waiting for a chip", Tone::Quiet},
        TileCase{"Erasing", true, true, true, Chip::UnderWay, Step::Erasing, 0, 0, None, "Erasing", Tone::Busy},
        TileCase{"ProgrammingPercent", true, true, true, Chip::UnderWay, Step::Programming, 43, 100, None, "Programming 43 %", Tone::Busy},
        TileCase{"ProgressPastItsEnd", true, true, true, Chip::UnderWay, Step::Programming, 9, 8, None, "Programming 100 %", Tone::Busy},
        TileCase{"ProgressWithoutMaximum", true, true, true, Chip::UnderWay, Step::Programming, 5, 0, None, "Programming 0 %", Tone::Busy},
        TileCase{"BetweenTheSteps", true, true, true, Chip::UnderWay, Step::Other, 3, 4, None, "Programming 0 %", Tone::Busy},
        TileCase{"LinkLostMidChip", true, true, true, Chip::UnderWay, Step::NotConnected, 0, 0, None, "Not connected", Tone::Bad},
        TileCase{"PassedStillSeated", true, true, true, Chip::Done, Step::Other, 0, 0, Pass, "Passed", Tone::Good},
        TileCase{"FailedStillSeated", true, true, true, Chip::Done, Step::Verifying, 0, 0, Fail,
                 "Failed: Verify failed at address 0x100.", Tone::Bad},
        TileCase{"Stopped", true, true, false, Chip::Done, Step::Other, 0, 0, Pass, "Idle", Tone::Quiet}),
    nameOfCase);

struct HostCase {
    const char* name;
    std::optional<Msg> key;  // none: the state came as text alone
    const char* text;        // the words a translator may have written for it
    TileState::Step expected;
};

class TileStepFromHost : public testing::TestWithParam<HostCase> {};

// The tile's step follows the key the routines set, whatever words came with it.
TEST_P(TileStepFromHost, IgnoresTheStateWords)
{
    const HostCase& c = GetParam();
    SeatHost host;
    if (c.key)
        host.setState(*c.key, c.text);
    else
        host.setStateText(c.text);
    GangRun::SeatView seat;
    seat.running = true;
    seat.chip = Chip::UnderWay;
    seat.state = host.snapshot().state;
    seat.step = host.snapshot().step;
    EXPECT_EQ(seat.state, c.text);
    EXPECT_EQ(TileState::of(&seat, true, English).step, c.expected);
}

std::string nameOfHostCase(const testing::TestParamInfo<HostCase>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TileStepFromHost,
    testing::Values(HostCase{"Erasing", Msg::Erasing, "Wipe it all", TileState::Step::Erasing},
                    HostCase{"BlankChecking", Msg::BlankChecking, "Verifying", TileState::Step::BlankChecking},
                    HostCase{"Writing", Msg::Writing, "写入中 (edited)", TileState::Step::Programming},
                    HostCase{"Verifying", Msg::Verifying, "Erase Flash ...", TileState::Step::Verifying},
                    HostCase{"NotConnected", Msg::NotConnected, "Offline", TileState::Step::NotConnected},
                    HostCase{"OtherKey", Msg::Reading, "Not connected", TileState::Step::Programming},
                    HostCase{"TextAlone", std::nullopt, "Not connected", TileState::Step::Programming}),
    nameOfHostCase);

}  // namespace
