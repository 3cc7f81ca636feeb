#include "model/ProtocolLog.h"

#include <cstdio>

void ProtocolLog::record(const std::string& message)
{
    std::fprintf(stderr, "belcor_sim: protocol error: %s\n", message.c_str());
    const std::lock_guard lock(mutex_);
    messages_.push_back(message);
}

void ProtocolLog::clear()
{
    const std::lock_guard lock(mutex_);
    messages_.clear();
}

size_t ProtocolLog::size() const
{
    const std::lock_guard lock(mutex_);
    return messages_.size();
}

const std::string& ProtocolLog::at(size_t index) const
{
    const std::lock_guard lock(mutex_);
    return messages_.at(index);
}
