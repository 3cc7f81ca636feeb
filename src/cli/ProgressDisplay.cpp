#include "cli/ProgressDisplay.h"

#include <algorithm>

#include "ops/ElapsedText.h"

namespace {

constexpr int BarWidth = 30;
// The rate means little before some time has passed.
constexpr int64_t SteadyAfterMs = 200;
constexpr int64_t RedrawIntervalMs = 200;

int percentOf(uint64_t position, uint64_t maximum)
{
    return maximum == 0 ? 100 : static_cast<int>(std::min<uint64_t>(position * 100 / maximum, 100));
}

}  // namespace

ProgressDisplay::ProgressDisplay(std::FILE* stream, Style style) : stream_(stream), style_(style) {}

std::string ProgressDisplay::barText(const std::string& label, uint32_t position, uint32_t maximum, int64_t elapsedMs,
                                     bool countsBytes)
{
    const int percent = percentOf(position, maximum);
    const int filled = percent * BarWidth / 100;
    std::string text = label + " [" + std::string(filled, '#') + std::string(BarWidth - filled, ' ') + "] ";
    char number[64];
    std::snprintf(number, sizeof number, "%3d%%", percent);
    text += number;
    if (countsBytes && position > 0 && elapsedMs >= SteadyAfterMs) {
        const double bytesPerSecond = position * 1000.0 / static_cast<double>(elapsedMs);
        std::snprintf(number, sizeof number, "  %.1f MB/s", bytesPerSecond / 1e6);
        text += number;
        const auto secondsLeft =
            static_cast<int64_t>(static_cast<double>(maximum > position ? maximum - position : 0) / bytesPerSecond + 0.5);
        text += "  " + ClockText(secondsLeft * 1000) + " left";
    }
    return text;
}

void ProgressDisplay::start(const std::string& label, uint32_t maximum, bool countsBytes, int64_t nowMs)
{
    stop();
    active_ = true;
    label_ = label;
    maximum_ = maximum;
    countsBytes_ = countsBytes;
    startMs_ = nowMs;
    reached_ = 0;
    lastShown_ = -1;
    // An empty step (the erase sets its bars up before it knows its count)
    // shows nothing until it has a size.
    if (maximum_ > 0)
        draw(0, nowMs);
}

// A window resets its bar to 0 when a step ends; here that would leave the
// finished step's line reading 0%, so the display never moves back.
void ProgressDisplay::update(uint32_t position, int64_t nowMs)
{
    if (!active_ || maximum_ == 0 || position < reached_)
        return;
    reached_ = position;
    draw(position, nowMs);
}

void ProgressDisplay::finish(int64_t nowMs)
{
    if (!active_)
        return;
    if (maximum_ > 0) {
        if (style_ == Style::Bar) {
            std::fprintf(stream_, "\r%s\n", barText(label_, maximum_, maximum_, nowMs - startMs_, countsBytes_).c_str());
        } else {
            std::fprintf(stream_, "%s 100%%\n", label_.c_str());
        }
        std::fflush(stream_);
    }
    active_ = false;
}

void ProgressDisplay::stop()
{
    if (active_ && maximum_ > 0 && style_ == Style::Bar) {
        std::fputc('\n', stream_);
        std::fflush(stream_);
    }
    active_ = false;
}

void ProgressDisplay::draw(uint32_t position, int64_t nowMs)
{
    const int percent = percentOf(position, maximum_);
    if (style_ == Style::Lines) {
        const int quarter = std::min(percent / 25, 3);
        if (quarter <= lastShown_)
            return;
        lastShown_ = quarter;
        std::fprintf(stream_, "%s %d%%\n", label_.c_str(), quarter * 25);
    } else {
        if (percent == lastShown_ && nowMs - drawnMs_ < RedrawIntervalMs)
            return;
        lastShown_ = percent;
        drawnMs_ = nowMs;
        std::fprintf(stream_, "\r%s\033[K", barText(label_, position, maximum_, nowMs - startMs_, countsBytes_).c_str());
    }
    std::fflush(stream_);
}
