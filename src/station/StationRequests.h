#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/MessageCatalogue.h"

// What the API's calls take from outside, parsed and checked before anything
// acts on it. A refusal names its message and the words that fill it in.
struct RequestProblem {
    Msg message;
    std::string first;
    std::string second;
    std::string third;

    std::string text(int language) const { return MessageCatalogue::format(message, language, {first, second, third}); }
};

struct JobRequest {
    std::string file;  // a name inside the jobs folder
};

struct RunRequest {
    std::optional<int64_t> count;
    bool allProgrammers = true;
    std::vector<std::string> programmers;
    std::string operatorName;
};

// A change of the job's target or counters: the engineer PIN when the job
// has one, and who asks.
struct ChangeRequest {
    std::optional<int64_t> target;
    std::string pin;
    std::string operatorName;
};

struct RecordsQuery {
    int64_t afterId = 0;  // only records after this id, oldest first; else the newest
    int64_t limit = 100;
    // Lookups; empty: any. The CRC-32 in the log's form.
    std::string serial;
    std::string crc32;
    std::string job;
};

// The request bodies, JSON objects of the fields named; nothing else is taken.
std::optional<RequestProblem> ParseJobRequest(const std::string& body, JobRequest& request);
std::optional<RequestProblem> ParseRunRequest(const std::string& body, RunRequest& request);
// POST /target's body: the new target, with "pin" and "operator" as they apply.
std::optional<RequestProblem> ParseTargetRequest(const std::string& body, ChangeRequest& request);
// POST /counters/reset's body: nothing, or "pin" and "operator".
std::optional<RequestProblem> ParseResetRequest(const std::string& body, ChangeRequest& request);
// The body of a call that takes nothing: empty, or an empty JSON object.
std::optional<RequestProblem> ParseEmptyRequest(const std::string& body);
// GET /records' query parameters, as they came (nothing when absent).
std::optional<RequestProblem> ParseRecordsQuery(const std::optional<std::string>& since,
                                                const std::optional<std::string>& limit, RecordsQuery& query);

// GET /records' lookup parameters: a serial number, an image CRC-32 (hex,
// "0x" optional) and a job name, as they came.
std::optional<RequestProblem> ParseRecordsLookup(const std::optional<std::string>& serial,
                                                 const std::optional<std::string>& crc,
                                                 const std::optional<std::string>& job, RecordsQuery& query);

// The event id a reconnecting client sends back; nothing when absent or not a number.
std::optional<uint64_t> ParseLastEventId(const std::string& header);

// The language of an Accept-Language header: the first of its tags (in the
// order of their weights) that is Chinese or English; English otherwise.
int LanguageOfAcceptLanguage(const std::string& header);

constexpr int64_t RecordsLimitMaximum = 1000;
constexpr size_t OperatorNameMaximum = 100;
constexpr size_t ProgrammersMaximum = 64;
constexpr int64_t TargetMaximum = 1000000000;
