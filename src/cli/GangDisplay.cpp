#include "cli/GangDisplay.h"

#include "production/ProductionCounters.h"

void GangDisplay::draw(const std::vector<GangRun::SeatView>& views, std::optional<int64_t> chipsLeft,
                       int64_t elapsedMs)
{
    int64_t running = 0;
    for (const GangRun::SeatView& view : views)
        running += view.running ? 1 : 0;
    // Back to the first line of the last drawing; each line is cleared
    // before it is written again.
    if (drawnLines_ > 0)
        std::fprintf(stream_, "\x1b[%zuA", drawnLines_);
    for (const GangRun::SeatView& view : views) {
        // Its share of the chips left, at its own pace so far.
        std::optional<int64_t> timeLeftMs;
        const int64_t done = view.passed + view.failed;
        if (chipsLeft && view.running && running > 0 && done > 0)
            timeLeftMs = (*chipsLeft + running - 1) / running * (elapsedMs / done);
        std::fprintf(stream_, "\r\x1b[2K%s\n", lineOf(view, timeLeftMs).c_str());
    }
    drawnLines_ = views.size();
    std::fflush(stream_);
}

std::string GangDisplay::lineOf(const GangRun::SeatView& view, std::optional<int64_t> timeLeftMs)
{
    std::string line = view.programmer + "  ";
    std::string state = view.running ? view.state : "stopped";
    if (view.running && view.maximum > 0) {
        state += ' ';
        state += std::to_string(uint64_t(view.position) * 100 / view.maximum);
        state += '%';
    }
    line += state;
    line.append(state.size() < 18 ? 18 - state.size() : 1, ' ');
    line += std::to_string(view.passed) + " passed, " + std::to_string(view.failed) + " failed";
    if (timeLeftMs)
        line += ", time left " + DurationText(*timeLeftMs);
    if (view.lastResult)
        line += std::string(", last ") + ChipResultWord(*view.lastResult) +
                (view.lastMessage.empty() ? "" : ": " + view.lastMessage);
    if (!view.stopReason.empty())
        line += " (" + view.stopReason + ")";
    return line;
}
