#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "production/GangRun.h"

// The terminal face of a gang run: one line per programmer (state, progress,
// passed and failed, last result), redrawn in place.
class GangDisplay {
public:
    explicit GangDisplay(std::FILE* stream) : stream_(stream) {}

    void draw(const std::vector<GangRun::SeatView>& views);
    static std::string lineOf(const GangRun::SeatView& view);

private:
    std::FILE* stream_;
    size_t drawnLines_ = 0;
};
