#include "buffers/ErasedBlock.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Growth in steps, so that a reader asking a little further for every record
// erases in large strides.
constexpr size_t Step = size_t(1) << 20;

}  // namespace

ErasedBlock::ErasedBlock(size_t capacity)
    : capacity_(capacity), bytes_(std::make_unique_for_overwrite<uint8_t[]>(std::max<size_t>(capacity, 1)))
{
}

ErasedBlock::ErasedBlock(const ErasedBlock& other) : ErasedBlock(other.capacity_)
{
    const size_t count = other.reached();
    std::memcpy(bytes_.get(), other.bytes_.get(), count);
    reached_.store(count, std::memory_order_release);
}

ErasedBlock::ErasedBlock(ErasedBlock&& other) noexcept
    : capacity_(std::exchange(other.capacity_, 0))
    , bytes_(std::move(other.bytes_))
    , reached_(other.reached_.exchange(0))
{
}

void ErasedBlock::grow(size_t count) const
{
    const std::lock_guard lock(growing_);
    const size_t from = reached_.load(std::memory_order_relaxed);
    if (count <= from)
        return;
    const size_t to = std::min(capacity_, (count + Step - 1) / Step * Step);
    std::memset(bytes_.get() + from, 0xFF, to - from);
    reached_.store(to, std::memory_order_release);
}
