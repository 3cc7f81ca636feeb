#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "production/PostgresSession.h"

// Blocks of serial numbers leased from the line server, so that the stations
// of a line never issue the same serial: one statement takes a job's block
// and moves the job's next value past it, under the row's lock. What a
// station leased and did not use is never leased again (gaps, no doubles).
class SerialLease {
public:
    explicit SerialLease(const std::string& address);

    struct Block {
        uint64_t first = 0;
        uint64_t count = 0;
    };
    // `count` values `step` apart of the serial sequence `sequence`. The first
    // is at least `floor`: a station's own next value, so a line that starts
    // leasing goes on after the serials its stations issued alone, and past
    // what was leased under `jobHash`, the job file's hash that named the
    // sequence before jobs carried one. A block
    // that would start past 64 bits comes back empty. Nothing, with
    // `failure` saying why, when the server leased none.
    std::optional<Block> lease(const std::string& sequence, const std::string& jobHash, uint64_t floor,
                               uint64_t count, uint64_t step, PostgresSession::Reply& failure);

    // From any thread: ends a lease under way at once.
    void stop() { session_.stop(); }

    // Values per lease: a round trip to the server every 16 chips.
    static constexpr uint64_t BlockSize = 16;

private:
    PostgresSession session_;
};
