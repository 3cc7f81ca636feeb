#include "production/ValueLease.h"

#include <cstdio>

#include "core/WholeNumber.h"
#include "production/JobValues.h"
#include "production/LineServerSchema.h"

namespace {

// The next index is NUMERIC, as a serial lease's next value: no lease overflows it.
const char* const LeaseIndices =
    "INSERT INTO belcor_value_leases AS lease (sequence, field, next) VALUES ($1, $2, $3::numeric + $4::numeric)"
    " ON CONFLICT (sequence, field) DO UPDATE SET next = GREATEST(lease.next, $3::numeric) + $4::numeric"
    " RETURNING (next - $4::numeric)::text";

// Folders: file names have no order the server could share with every
// station's sorting, so the station picks the names after the server's last
// and moves it only if no other station did meanwhile.
const char* const LastName =
    "SELECT last_file FROM belcor_value_leases WHERE sequence = $1 AND field = $2";
const char* const MoveLastName =
    "INSERT INTO belcor_value_leases AS lease (sequence, field, last_file) VALUES ($1, $2, $4)"
    " ON CONFLICT (sequence, field) DO UPDATE SET last_file = $4 WHERE lease.last_file = $3 RETURNING 1";

// Stations racing for a folder's names: each lost race means another
// station leased, so a few attempts settle it.
constexpr int NameAttempts = 5;

std::optional<std::vector<std::string>> refused(PostgresSession::Reply reply, PostgresSession::Reply& failure)
{
    if (reply.status == PostgresSession::Reply::Status::NoAnswer && reply.message.empty())
        reply.message = "no answer in time";
    failure = std::move(reply);
    return std::nullopt;
}

// The keys after `last`, at most a block of them.
std::vector<std::string> keysAfter(const JobValues& values, size_t index, std::optional<std::string> last)
{
    std::vector<std::string> keys;
    while (keys.size() < ValueLease::BlockSize && (last = values.keyAfter(index, last)))
        keys.push_back(*last);
    return keys;
}

}  // namespace

ValueLease::ValueLease(const std::string& address) : session_(address, LineServerSchema) {}

std::string ValueLease::fieldKey(const ValueField& field)
{
    if (field.kind != ValueKind::List)
        return field.name();
    char address[16];
    std::snprintf(address, sizeof address, "0x%X", field.address);
    return field.sha256 + "@" + address;
}

std::optional<std::vector<std::string>> ValueLease::lease(const std::string& sequence, const JobValues& values,
                                                          size_t index, const std::optional<std::string>& localLast,
                                                          PostgresSession::Reply& failure)
{
    const std::string field = fieldKey(values.field(index));
    if (values.field(index).kind == ValueKind::Files)
        return leaseNames(sequence, field, values, index, localLast, failure);
    const std::optional<uint64_t> last = localLast ? WholeNumber(*localLast) : std::nullopt;
    return leaseIndices(sequence, field, values, index, last ? *last + 1 : 0, failure);
}

std::optional<std::vector<std::string>> ValueLease::leaseIndices(const std::string& sequence,
                                                                 const std::string& field, const JobValues& values,
                                                                 size_t index, uint64_t floor,
                                                                 PostgresSession::Reply& failure)
{
    PostgresSession::Reply reply =
        session_.run(LeaseIndices, {sequence, field, std::to_string(floor), std::to_string(BlockSize)});
    const std::optional<uint64_t> first =
        reply.ok() && reply.rows.size() == 1 && reply.rows[0].size() == 1 ? WholeNumber(reply.rows[0][0])
                                                                         : std::nullopt;
    if (!first) {
        if (reply.ok()) {
            reply.status = PostgresSession::Reply::Status::Failed;
            reply.message = "the line server's answer holds no block of values";
        }
        return refused(std::move(reply), failure);
    }
    // The block may reach past the source's end: what lies past it is no value.
    return keysAfter(values, index, *first == 0 ? std::nullopt : std::optional<std::string>(std::to_string(*first - 1)));
}

std::optional<std::vector<std::string>> ValueLease::leaseNames(const std::string& sequence,
                                                               const std::string& field, const JobValues& values,
                                                               size_t index,
                                                               const std::optional<std::string>& localLast,
                                                               PostgresSession::Reply& failure)
{
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        PostgresSession::Reply reply = session_.run(LastName, {sequence, field});
        if (!reply.ok())
            return refused(std::move(reply), failure);
        // An empty text stands for none: no file is named so.
        const std::string serverLast = reply.rows.empty() ? std::string() : reply.rows[0][0];
        std::optional<std::string> after = localLast;
        if (!serverLast.empty() && (!after || *after < serverLast))
            after = serverLast;
        const std::vector<std::string> keys = keysAfter(values, index, after);
        if (keys.empty())
            return keys;
        reply = session_.run(MoveLastName, {sequence, field, serverLast, keys.back()});
        if (!reply.ok())
            return refused(std::move(reply), failure);
        if (reply.rows.size() == 1)
            return keys;
    }
    PostgresSession::Reply busy;
    busy.status = PostgresSession::Reply::Status::Failed;
    busy.message = "other stations kept leasing the folder's files";
    return refused(std::move(busy), failure);
}
