#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The progress of one long step, on a stream of its own (stderr): a bar with
// percentage, rate and time left redrawn in place on a terminal, or one plain
// line per quarter ("Read Flash ... 25%") when the stream goes to a file or
// pipe, where redrawing would only fill the log.
class ProgressDisplay {
public:
    enum class Style { Bar, Lines };

    ProgressDisplay(std::FILE* stream, Style style);

    // A new step; `countsBytes` is false for steps counted in other units
    // (erase polls), which then show no rate and no time left.
    void start(const std::string& label, uint32_t maximum, bool countsBytes, int64_t nowMs);
    void update(uint32_t position, int64_t nowMs);
    // The step is complete: 100%, and the line ends.
    void finish(int64_t nowMs);
    // Other output follows: the line ends where the step stood.
    void stop();
    bool active() const { return active_; }

    // One drawing of the bar, without the carriage return.
    static std::string barText(const std::string& label, uint32_t position, uint32_t maximum, int64_t elapsedMs,
                               bool countsBytes);

private:
    void draw(uint32_t position, int64_t nowMs);

    std::FILE* stream_;
    Style style_;
    bool active_ = false;
    std::string label_;
    uint32_t maximum_ = 0;
    bool countsBytes_ = true;
    int64_t startMs_ = 0;
    int64_t drawnMs_ = 0;
    uint32_t reached_ = 0;
    int lastShown_ = -1;  // percent (bar) or quarter (lines) last printed
};
