#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What a job has issued so far, kept in a file beside the job file
// (JOB.belcorjob.issued) that production rewrites when a run starts and ends.
// Without a line server a job with a serial-number rule belongs to one
// station and its log; should another log, or a new one, take it up, the
// history tells that the log would issue serial numbers again that chips
// already carry.
struct JobHistory {
    int64_t chips = 0;                 // handled, by the log's counters
    std::optional<uint64_t> next;      // the next serial number the log would give
    std::string station;
    std::string log;                   // the log database's path

    static std::string pathFor(const std::string& jobPath);
    // Nothing when the file is missing or is no such history.
    static std::optional<JobHistory> read(const std::string& path);
    static std::optional<JobHistory> parse(const std::string& text);
    std::string text() const;
    // Written to a new file and renamed over `path`; false when it cannot be.
    bool write(const std::string& path) const;
};
