#pragma once

#include <cstdint>

#include "buffers/ErasedBlock.h"

// Where a reader puts an image: `capacity` bytes from a start. Either plain
// memory, every byte of it ready at once, or an ErasedBlock from an offset on,
// made ready only as far as the file reaches, so that a 16 MiB record file
// loaded into a 64 MiB block costs 16 MiB.
class LoadTarget {
public:
    LoadTarget(uint8_t* destination, uint32_t capacity) : start_(destination), capacity_(capacity), ready_(capacity)
    {
    }
    // `offset` lies inside the block.
    explicit LoadTarget(ErasedBlock& block, uint32_t offset = 0);

    uint32_t capacity() const { return capacity_; }
    // The start, with its first `extent` bytes (the capacity at most) ready to
    // be written.
    uint8_t* reach(uint64_t extent)
    {
        if (extent > ready_)
            grow(extent);
        return start_;
    }

private:
    void grow(uint64_t extent);

    uint8_t* start_;
    uint32_t capacity_;
    uint64_t ready_;
    ErasedBlock* block_ = nullptr;
    uint32_t offset_ = 0;
};
