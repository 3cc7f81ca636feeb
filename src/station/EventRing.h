#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// What happened at the station, for the event stream: a type ("chip-started",
// "chip-finished", "state", "target-reached", "line-server") and its JSON text.
struct StationEvent {
    uint64_t id = 0;
    std::string type;
    std::string data;
};

// The last events, a fixed number of them. Publishing never waits for a
// reader: a reader that falls behind by more than the ring holds loses the
// oldest ones and learns how many. Ids rise across restarts of the service
// (they start from the clock), so a client's Last-Event-ID from before a
// restart is simply older than everything kept.
class EventRing {
public:
    explicit EventRing(size_t capacity, uint64_t firstId = initialId());

    uint64_t publish(std::string type, std::string data);

    struct Batch {
        std::vector<StationEvent> events;
        uint64_t lost = 0;      // events after the reader's id that left the ring before it came
        bool restarted = false; // the reader's id is from an earlier run of the service
        bool closed = false;
    };
    // Events after `lastId` (at most `limit`), waiting up to `timeout` when
    // there are none yet.
    Batch after(uint64_t lastId, size_t limit, std::chrono::milliseconds timeout = {});
    // The newest event's id: where a reader without Last-Event-ID starts.
    uint64_t lastId() const;
    // Wakes every reader for good: the service stops.
    void close();

    static uint64_t initialId();

private:
    Batch collect(uint64_t lastId, size_t limit) const;

    const size_t capacity_;
    const uint64_t firstId_;
    mutable std::mutex mutex_;
    std::condition_variable added_;
    std::deque<StationEvent> events_;
    uint64_t nextId_;
    bool closed_ = false;
};
