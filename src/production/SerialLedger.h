#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "production/LogRecord.h"
#include "production/Reservation.h"

struct sqlite3;
struct SerialRule;

// Serial allocation in the station's log: each job's next value, values that
// failed chips returned, and the blocks a line server leased. Its callers
// hold the log's lock; take() and giveBack() run inside their transaction.
class SerialLedger {
public:
    explicit SerialLedger(sqlite3* db) : db_(db) {}

    void takeFromLeases() { leased_ = true; }
    // What a chip's leases are kept under: its serial sequence, or for a
    // caller that names none, its job file's hash.
    static const std::string& sequenceKey(const LogRecord& chip)
    {
        return chip.serialSequence.empty() ? chip.jobHash : chip.serialSequence;
    }

    // One a failed chip returned, else the job's next value, which it
    // advances. The one place that decides which value a chip gets.
    Reservation take(const LogRecord& chip, const SerialRule& rule);
    // `value` goes to the job's next chip.
    bool giveBack(const std::string& job, uint64_t value, std::string& error);
    bool addLease(const std::string& job, const std::string& sequence, uint64_t first, uint64_t count,
                  std::string& error);
    bool hasIssued(const std::string& job);
    std::optional<uint64_t> peek(const std::string& job, const SerialRule& rule);

private:
    sqlite3* db_;
    bool leased_ = false;
};
