#include "model/Transcript.h"

#include <algorithm>
#include <cstring>

void Transcript::record(int kind, int endpoint, uint32_t length, int result, uint32_t address,
                        const uint8_t* bytes, size_t byteCount)
{
    belcor_sim_event event{};
    event.kind = kind;
    event.endpoint = endpoint;
    event.length = length;
    event.result = result;
    event.address = address;
    if (bytes)
        std::memcpy(event.block, bytes, std::min(byteCount, sizeof event.block));
    const std::lock_guard lock(mutex_);
    events_.push_back(event);
}

void Transcript::clear()
{
    const std::lock_guard lock(mutex_);
    events_.clear();
}

size_t Transcript::size() const
{
    const std::lock_guard lock(mutex_);
    return events_.size();
}

bool Transcript::at(size_t index, belcor_sim_event& event) const
{
    const std::lock_guard lock(mutex_);
    if (index >= events_.size())
        return false;
    event = events_[index];
    return true;
}

belcor_sim_event Transcript::at(size_t index) const
{
    belcor_sim_event event{};
    at(index, event);
    return event;
}
