#include "station/EventRing.h"

#include <algorithm>

EventRing::EventRing(size_t capacity, uint64_t firstId) : capacity_(std::max<size_t>(capacity, 1)), firstId_(firstId), nextId_(firstId)
{
}

uint64_t EventRing::initialId()
{
    // A thousand ids per millisecond of the clock: more than any station makes.
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) * 1000 + 1;
}

uint64_t EventRing::publish(std::string type, std::string data)
{
    uint64_t id = 0;
    {
        const std::lock_guard lock(mutex_);
        id = nextId_++;
        if (events_.size() == capacity_)
            events_.pop_front();
        events_.push_back(StationEvent{id, std::move(type), std::move(data)});
    }
    added_.notify_all();
    return id;
}

uint64_t EventRing::lastId() const
{
    const std::lock_guard lock(mutex_);
    return nextId_ - 1;
}

void EventRing::close()
{
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    added_.notify_all();
}

EventRing::Batch EventRing::collect(uint64_t lastId, size_t limit) const
{
    Batch batch;
    batch.closed = closed_;
    if (events_.empty() || lastId >= events_.back().id)
        return batch;
    const uint64_t oldest = events_.front().id;
    if (lastId + 1 < firstId_) {
        // A reader from an earlier run of the service: what it missed before
        // this run began is unknown, what left the ring since is not.
        batch.restarted = true;
        batch.lost = oldest - firstId_;
    } else if (lastId + 1 < oldest) {
        batch.lost = oldest - lastId - 1;
    }
    const size_t start = lastId < oldest ? 0 : static_cast<size_t>(lastId + 1 - oldest);
    const size_t end = std::min(events_.size(), start + limit);
    batch.events.assign(events_.begin() + static_cast<std::ptrdiff_t>(start),
                        events_.begin() + static_cast<std::ptrdiff_t>(end));
    return batch;
}

EventRing::Batch EventRing::after(uint64_t lastId, size_t limit, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    added_.wait_for(lock, timeout, [&] { return closed_ || (!events_.empty() && events_.back().id > lastId); });
    return collect(lastId, limit);
}
