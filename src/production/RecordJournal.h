#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "production/LogRecord.h"
#include "production/PendingRecord.h"
#include "production/Reservation.h"
#include "production/ValueLedger.h"

struct sqlite3;
struct SerialRule;
class JobValues;
class SerialLedger;

// The log's records as chips are made: the reservation synced to disk before
// a chip, the record and its counters that replace it, the records kept
// pending while the log cannot take them, and the interrupted records of
// chips whose program died. Its callers hold the log's lock.
class RecordJournal {
public:
    RecordJournal(sqlite3* db, std::string path, SerialLedger& serials)
        : db_(db), path_(std::move(path)), serials_(serials), values_(db)
    {
    }

    ValueLedger& values() { return values_; }

    // Sets the chip's serial and its values' text.
    Reservation reserve(LogRecord& chip, const SerialRule* rule, const JobValues* values = nullptr);
    // Sets the stored record's id.
    bool commit(LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error);
    std::string keepPending(const LogRecord& record, std::optional<uint64_t> returnedSerial);
    bool flushPending(std::string& error);
    size_t pendingCount();
    // At open: records a program left in files beside the log, then the
    // reservations of chips whose program is gone.
    void writePendingFilesIn();
    void interruptAbandonedReservations();

private:
    bool write(const LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error);
    std::string pendingFilePrefix() const;

    sqlite3* db_;
    std::string path_;
    SerialLedger& serials_;
    ValueLedger values_;
    struct Kept {
        PendingRecord pending;
        std::string file;  // empty: in memory only
    };
    std::vector<Kept> pending_;
};
