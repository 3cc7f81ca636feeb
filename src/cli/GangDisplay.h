#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "production/GangRun.h"

// The terminal face of a gang run: one line per programmer (state, progress,
// passed and failed, time left, last result), redrawn in place.
class GangDisplay {
public:
    explicit GangDisplay(std::FILE* stream) : stream_(stream) {}

    // `chipsLeft`: of the run's target, when it has one; `elapsedMs`: since the start.
    void draw(const std::vector<GangRun::SeatView>& views, std::optional<int64_t> chipsLeft, int64_t elapsedMs);
    static std::string lineOf(const GangRun::SeatView& view, std::optional<int64_t> timeLeftMs);

private:
    std::FILE* stream_;
    size_t drawnLines_ = 0;
};
