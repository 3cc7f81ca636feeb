#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "production/PostgresSession.h"

// One station of the line as the line server's log shows it.
struct LineStation {
    std::string station;
    std::string lastTime;     // the newest record's time, UTC, ISO 8601
    double lastAgeSeconds = 0;
    int64_t chipsLastHour = 0;
    int64_t passedLastHour = 0;
    std::vector<std::pair<std::string, int64_t>> failures;  // the last hour's most frequent failure texts
};

// The whole line for a monitor, read from the line server's log in one query
// that the (station, time) index serves: each station's newest record and its
// last hour, however many records the log holds. Its session bounds every
// wait, as the stations' own do.
class LineOverview {
public:
    explicit LineOverview(std::string address) : session_(std::move(address), "") {}

    // Connects when needed. False, with `error` set, when the server did not answer.
    bool query(std::vector<LineStation>& stations, std::string& error);

    static constexpr int FailureTexts = 3;

private:
    PostgresSession session_;
};
