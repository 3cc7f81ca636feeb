#pragma once

#include <optional>
#include <string>
#include <vector>

#include "production/PostgresSession.h"

class JobValues;
struct ValueField;

// Blocks of a job value field's values leased from the line server, so that
// the stations of a line share one list, MAC range or folder and never issue
// the same value. The server keeps, per serial sequence and field, the next
// index (lists, MAC ranges) or the last file name leased (folders); a lease
// moves it past the block under the row's lock. What a station leased and
// did not use stays in its log for its next chips; it becomes a gap only if
// that station never runs the job again.
class ValueLease {
public:
    explicit ValueLease(const std::string& address);

    // Up to BlockSize keys of field `index` of `values`, past both the
    // server's position and `localLast`, the station's own last key (so that
    // a line that starts leasing goes on after what its stations issued
    // alone). Empty when the source has no value left. Nothing, with
    // `failure` saying why, when the server leased none.
    std::optional<std::vector<std::string>> lease(const std::string& sequence, const JobValues& values,
                                                  size_t index, const std::optional<std::string>& localLast,
                                                  PostgresSession::Reply& failure);

    // What the server keeps a field under: a list by its content and place,
    // so that a copy of it elsewhere on the line shares it; a range and a
    // folder by their name.
    static std::string fieldKey(const ValueField& field);

    // From any thread: ends a lease under way at once.
    void stop() { session_.stop(); }

    // Values per lease: a round trip to the server every 16 chips.
    static constexpr size_t BlockSize = 16;

private:
    std::optional<std::vector<std::string>> leaseIndices(const std::string& sequence, const std::string& field,
                                                         const JobValues& values, size_t index, uint64_t floor,
                                                         PostgresSession::Reply& failure);
    std::optional<std::vector<std::string>> leaseNames(const std::string& sequence, const std::string& field,
                                                       const JobValues& values, size_t index,
                                                       const std::optional<std::string>& localLast,
                                                       PostgresSession::Reply& failure);

    PostgresSession session_;
};
