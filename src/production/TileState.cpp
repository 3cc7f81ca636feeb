#include "production/TileState.h"

#include <algorithm>
#include <optional>

#include "core/MessageCatalogue.h"

namespace {

// The seat's state text is the operation routines' own, in the language the
// seat started with; the window's language may have changed since.
std::optional<Msg> stepOf(const std::string& state)
{
    for (int language : {SimplifiedChinese, TraditionalChinese, English}) {
        if (const std::optional<Msg> found = MessageCatalogue::find(state, language))
            return found;
    }
    return std::nullopt;
}

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
    switch (stepOf(seat.state).value_or(Msg::Count)) {
    case Msg::Erasing:
        return busy(Msg::ErasingState, Step::Erasing);
    case Msg::BlankChecking:
        return busy(Msg::BlankCheckingState, Step::BlankChecking);
    case Msg::Writing:
        return {MessageCatalogue::format(Msg::ProgrammingState, language, {percentOf(seat)}), TileState::Tone::Busy,
                Step::Programming};
    case Msg::Verifying:
        return busy(Msg::VerifyingState, Step::Verifying);
    case Msg::NotConnected:
        return {MessageCatalogue::text(Msg::NotConnected, language), TileState::Tone::Bad, Step::NotConnected};
    default:
        // Between the steps (the chip's identity, its protection) nothing is written yet.
        return {MessageCatalogue::format(Msg::ProgrammingState, language, {"0"}), TileState::Tone::Busy,
                Step::Programming};
    }
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
        if (seat->lastResult == "pass")
            return {MessageCatalogue::text(Msg::PassedState, language), Tone::Good, Step::Passed};
        return {MessageCatalogue::format(Msg::FailedState, language, {seat->lastMessage}), Tone::Bad, Step::Failed};
    case GangRun::SeatView::Chip::None:
        break;
    }
    return {MessageCatalogue::text(Msg::WaitingForChipState, language), Tone::Quiet, Step::Waiting};
}
