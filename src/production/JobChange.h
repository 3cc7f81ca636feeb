#pragma once

#include <string>

// A change made to a job's run between chips, kept in the log beside the
// chips' records: who made it, when, and from what to what.
struct JobChange {
    std::string time;     // UTC, ISO 8601 with milliseconds
    std::string station;
    std::string job;
    std::string who;      // the name given, and where the call came from
    std::string what;     // "target" or "counters"
    std::string before;
    std::string after;
};
