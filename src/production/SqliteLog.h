#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/MessageCatalogue.h"
#include "production/ForwardingOutbox.h"
#include "production/JobChange.h"
#include "production/LogFilter.h"
#include "production/LogQueries.h"
#include "production/LogRecord.h"
#include "production/ProductionCounters.h"
#include "production/RecordJournal.h"
#include "production/Reservation.h"
#include "production/SerialLedger.h"

struct sqlite3;
struct SerialRule;
class JobValues;

// The station's traceability log: one SQLite database file (WAL) holding the
// records, each job's counters and serial-number state, the chips under way
// and the queue of records a line server has not yet confirmed. Every call is
// one transaction, so a chip's record and its counters are committed
// together. Before a chip is programmed its reservation (serial number,
// programmer, time) is synced to disk; the chip's record replaces it. A
// reservation whose program died (killed, crashed, a power cut) becomes an
// "interrupted" record at the next open, so every serial number that may sit
// on a chip is named by a record. Calls are serialised by a lock of its own,
// so programmers on several threads can share one log. Its parts, one per
// responsibility, share the database handle and that lock.
class SqliteLog {
public:
    ~SqliteLog();
    SqliteLog(const SqliteLog&) = delete;
    SqliteLog& operator=(const SqliteLog&) = delete;

    // Opens or creates the database (and its folder), bringing a log of an
    // earlier layout to this program's. Nothing, with `error` set (in
    // `language` where it is the program's own text), when that fails; a log
    // of a newer layout is refused and left untouched.
    static std::unique_ptr<SqliteLog> open(const std::string& path, std::string& error, int language = English);
    // The default file: belcor/production.sqlite in the user's data folder.
    static std::string defaultPath();

    const std::string& path() const { return path_; }

    // With a line server, serial numbers come only from the blocks it leased
    // to this station, by serial sequence: a reservation with none left says
    // LeaseNeeded, and a returned value still goes to this station's next chip.
    // A job this log ever leased for takes its serials from leased blocks
    // alone, with a line server or without.
    void takeSerialsFromLeases();
    // `count` values of the job's sequence `sequence`, `rule`'s step apart
    // from `first`, leased to this station.
    bool addLease(const std::string& job, const std::string& sequence, uint64_t first, uint64_t count,
                  std::string& error);
    // With a line server, job values come only from the keys it leased to
    // this station (ValueLedger).
    void takeValuesFromLeases();
    // Keys of a job's value field (by its name) leased to this station, in order.
    bool addValueLease(const std::string& job, const std::string& field, const std::vector<std::string>& keys,
                       std::string& error);
    // The last key this log issued of a field on its own; nothing before the first.
    std::optional<std::string> lastValue(const std::string& job, const std::string& field);
    // What a chip's leases are kept under: its serial sequence, or for a
    // caller that names none, its job file's hash.
    static const std::string& sequenceKey(const LogRecord& chip) { return SerialLedger::sequenceKey(chip); }

    // Before a chip is programmed: writes first the records kept pending,
    // then takes the next serial number of `chip.job` (a returned one first)
    // and stores the reservation under `chip.uid` with the chip's station,
    // programmer, job, chip, JEDEC id, steps and time, synced to disk, so
    // that neither a crash nor a power cut can hand the number out twice or
    // leave it unnamed.
    // Sets `chip.serial`. Without a rule it still writes, so that a log that
    // cannot be written stops production before the chip rather than after it.
    // With `values`, the chip takes a value of each field too (ValueLedger).
    Reservation reserve(LogRecord& chip, const SerialRule* rule, const JobValues* values = nullptr);

    // The chip's record and its counters in one transaction; it replaces the
    // chip's reservation, or the interrupted record one became. A record whose
    // uid is stored already is not stored again (true). `returnedSerial` goes
    // back for the next chip (a failed chip whose job reuses serials).
    // `busyWaitMs`, when not negative, bounds the wait for another writer of
    // the file in place of the usual 2 s.
    bool commit(LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error,
                int busyWaitMs = -1);

    // A record commit() could not take: kept in memory and written first by
    // the next reserve() or flushPending(), and, when the disk allows, in a
    // file beside the log that the next open() of the log writes in. Returns
    // that file's path; empty when the record is kept in memory only.
    std::string keepPending(const LogRecord& record, std::optional<uint64_t> returnedSerial);
    // Writes the records kept pending; false, with `error` set, while any is left.
    bool flushPending(std::string& error);
    size_t pendingCount();

    // Whether any serial number of `job` was reserved in this log.
    bool hasIssued(const std::string& job);
    // The value the next reservation would give; nothing when the rule has
    // none left.
    std::optional<uint64_t> peekSerial(const std::string& job, const SerialRule& rule);

    ProductionCounters counters(const std::string& job);
    bool resetCounters(const std::string& job, std::string& error);
    // Keeps a change of a job's target or counters.
    bool recordChange(const JobChange& change, std::string& error);

    // Records matching `filter`, handed one at a time.
    bool forEachRecord(const LogFilter& filter, const std::function<void(const LogRecord&)>& visit, std::string& error);
    std::vector<LogRecord> records(const LogFilter& filter);

    // The forwarding queue: records not yet confirmed by the line server, in order.
    std::vector<LogRecord> unforwarded(int64_t limit);
    bool markForwarded(int64_t throughId, std::string& error);
    int64_t unforwardedCount();
    // A record the line server refused for a fault of its own leaves the
    // queue and stays here with the server's reason; the records after it go.
    bool setAside(int64_t id, const std::string& reason, std::string& error);
    SetAsideRecords setAsideRecords();

private:
    SqliteLog(sqlite3* db, const std::string& path);
    bool execute(const char* sql, std::string& error);
    std::string lastError() const;

    std::mutex mutex_;
    sqlite3* db_;
    std::string path_;
    // The parts take no lock of their own: every call into them holds mutex_.
    SerialLedger serials_;
    RecordJournal journal_;
    LogQueries queries_;
    ForwardingOutbox outbox_;
};
