#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "production/LogForwarder.h"
#include "production/SerialLease.h"
#include "production/SqliteLog.h"
#include "production/ValueLease.h"

// The log a production run writes to: the station's SQLite database, and,
// when a postgresql:// address is given, the line server the records are
// forwarded to from there and the serial numbers and job values come from.
class JobValues;

class ProductionLog {
public:
    // `targets`: at most one database file (the default file when none) and at
    // most one postgresql:// (or postgres://) address. `language`: that of the
    // messages opening may give, as SqliteLog::open takes it.
    static std::unique_ptr<ProductionLog> open(const std::vector<std::string>& targets, std::string& error,
                                               int language = English);
    static bool isServerAddress(const std::string& target);

    SqliteLog& local() { return *local_; }
    // Nothing without a line server.
    LogForwarder* forwarder() { return forwarder_.get(); }
    const std::string& serverAddress() const { return server_; }

    // The chip's reservation in the station's log (SqliteLog::reserve). With a
    // line server, a station that has no serial number of the job left first
    // leases a block of them from the server; when it cannot, the outcome is
    // LeaseFailed and no chip starts. Without a line server, a job whose
    // serials this log leased before takes only what is left of its leased
    // blocks, then LeaseUnreachable: a value of its own could be one the
    // server gave another station. Job values alike: a field with no key
    // left leased leases a block (ValueLease); when it cannot, the outcome is
    // ValueLeaseFailed, naming the field.
    Reservation reserve(LogRecord& chip, const SerialRule* rule, const JobValues* values = nullptr);

    // Commits to the station's log and queues the record for the server;
    // `busyWaitMs` as SqliteLog::commit takes it.
    bool commit(LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error,
                int busyWaitMs = -1);

private:
    // Each leases one block into the station's log; false, with
    // `reservation` saying why, when no chip may start.
    bool leaseSerials(const LogRecord& chip, const SerialRule& rule, Reservation& reservation);
    bool leaseValues(const LogRecord& chip, const JobValues& values, size_t index, Reservation& reservation);

    std::unique_ptr<SqliteLog> local_;
    std::unique_ptr<LogForwarder> forwarder_;
    std::unique_ptr<SerialLease> lease_;
    std::unique_ptr<ValueLease> valueLease_;
    // One lease at a time for the station's programmers.
    std::mutex leasing_;
    std::string server_;
};
