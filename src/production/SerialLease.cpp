#include "production/SerialLease.h"

#include <charconv>

#include "production/LineServerSchema.h"

namespace {

// NUMERIC: a 64-bit serial and what follows it fit, which BIGINT's sign would not allow.
// The column job_hash holds the sequence's key; a sequence's first lease
// starts past the row its job file's hash kept before.
const char* const Lease =
    "INSERT INTO belcor_serial_leases AS lease (job_hash, next) VALUES ($1, GREATEST($2::numeric,"
    " COALESCE((SELECT next FROM belcor_serial_leases WHERE job_hash = $5), 0)) + $3::numeric * $4::numeric)"
    " ON CONFLICT (job_hash) DO UPDATE SET next = GREATEST(lease.next, $2::numeric) + $3::numeric * $4::numeric"
    " RETURNING (next - $3::numeric * $4::numeric)::text";

}  // namespace

SerialLease::SerialLease(const std::string& address) : session_(address, LineServerSchema) {}

std::optional<SerialLease::Block> SerialLease::lease(const std::string& sequence, const std::string& jobHash,
                                                     uint64_t floor, uint64_t count, uint64_t step,
                                                     PostgresSession::Reply& failure)
{
    PostgresSession::Reply reply = session_.run(
        Lease, {sequence, std::to_string(floor), std::to_string(count), std::to_string(step), jobHash});
    if (reply.ok() && (reply.rows.size() != 1 || reply.rows[0].size() != 1)) {
        reply.status = PostgresSession::Reply::Status::Failed;
        reply.message = "the line server's answer holds no block of serial numbers";
    }
    if (!reply.ok()) {
        failure = reply;
        return std::nullopt;
    }
    const std::string& first = reply.rows[0][0];
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(first.data(), first.data() + first.size(), value);
    if (error != std::errc() || end != first.data() + first.size())
        return Block{};
    return Block{value, count};
}
