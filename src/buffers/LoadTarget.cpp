#include "buffers/LoadTarget.h"

#include <algorithm>

LoadTarget::LoadTarget(ErasedBlock& block, uint32_t offset)
    : start_(block.reach(0) + offset)
    , capacity_(static_cast<uint32_t>(block.capacity() - offset))
    , ready_(std::max(block.reached(), size_t{offset}) - offset)
    , block_(&block)
    , offset_(offset)
{
}

void LoadTarget::grow(uint64_t extent)
{
    block_->reach(offset_ + std::min<uint64_t>(extent, capacity_));
    ready_ = block_->reached() - offset_;
}
