#include "production/TileState.h"

#include <algorithm>

#include "core/MessageCatalogue.h"

namespace {

std::string percentOf(const GangRun::SeatView& seat)
{
    if (seat.maximum == 0)
        return "0";
    return std::to_string(std::min<uint64_t>(100, uint64_t{seat.position} * 100 / seat.maximum));
}

TileState underWay(const GangRun::SeatView& seat, int language)
{
    using Step = TileState::Step;
    const auto busy = [language](Msg message, Step step) {
        return TileState{MessageCatalogue::text(message, language), TileState::Tone::Busy, step};
    };
    switch (seat.step) {
    case SeatStep::Erasing:
        return busy(Msg::ErasingState, Step::Erasing);
    case SeatStep::BlankChecking:
        return busy(Msg::BlankCheckingState, Step::BlankChecking);
    case SeatStep::Programming:
        return {MessageCatalogue::format(Msg::ProgrammingState, language, {percentOf(seat)}), TileState::Tone::Busy,
                Step::Programming};
    case SeatStep::Verifying:
        return busy(Msg::VerifyingState, Step::Verifying);
    case SeatStep::NotConnected:
        return {MessageCatalogue::text(Msg::NotConnected, language), TileState::Tone::Bad, Step::NotConnected};
    case SeatStep::Connected:
    case SeatStep::Other:
        break;
    }
    // Between the steps (the chip's identity, its protection) nothing is written yet.
    return {MessageCatalogue::format(Msg::ProgrammingState, language, {"0"}), TileState::Tone::Busy, Step::Programming};
}

}  // namespace

TileState TileState::of(const GangRun::SeatView* seat, bool attached, int language)
{
    if (!attached)
        return {MessageCatalogue::text(Msg::NotConnected, language), Tone::Bad, Step::NotConnected};
    if (!seat || !seat->running)
        return {MessageCatalogue::text(Msg::TileIdle, language), Tone::Quiet, Step::Idle};
    switch (seat->chip) {
    case GangRun::SeatView::Chip::UnderWay:
        return underWay(*seat, language);
    case GangRun::SeatView::Chip::Done:
        if (seat->lastResult == ChipResult::Pass)
            return {MessageCatalogue::text(Msg::PassedState, language), Tone::Good, Step::Passed};
        return {MessageCatalogue::format(Msg::FailedState, language, {seat->lastMessage}), Tone::Bad, Step::Failed};
    case GangRun::SeatView::Chip::None:
        break;
    }
    return {MessageCatalogue::text(Msg::WaitingForChipState, language), Tone::Quiet, Step::Waiting};
}
