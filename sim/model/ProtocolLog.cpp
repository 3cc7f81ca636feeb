#include "model/ProtocolLog.h"

#include <cstdio>

void ProtocolLog::record(const std::string& message)
{
    std::fprintf(stderr, "belcor_sim: protocol error: %s\n", message.c_str());
    messages_.push_back(message);
}

void ProtocolLog::clear()
{
    messages_.clear();
}

size_t ProtocolLog::size() const
{
    return messages_.size();
}

const std::string& ProtocolLog::at(size_t index) const
{
    return messages_.at(index);
}
