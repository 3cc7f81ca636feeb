#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

// A block of `capacity` bytes that reads as erased (0xFF) until written, of
// which only the part asked for so far takes memory: the 64 MiB FLASH buffer
// costs a 16 MiB chip its 16 MiB, an image file's block the file's extent.
// The whole capacity is allocated at once but left untouched, so the start
// never moves and pointers handed out stay valid while the block grows.
class ErasedBlock {
public:
    explicit ErasedBlock(size_t capacity);
    // A copy holds its own bytes, as far as the original was asked for.
    ErasedBlock(const ErasedBlock& other);
    // The moved-from block is left empty, of capacity 0.
    ErasedBlock(ErasedBlock&& other) noexcept;
    ErasedBlock& operator=(const ErasedBlock&) = delete;

    size_t capacity() const { return capacity_; }

    // The block's start, with its first `count` bytes (the capacity at most)
    // ready for use: bytes never asked for before read 0xFF. Several threads
    // may ask at once.
    uint8_t* reach(size_t count)
    {
        if (count > reached_.load(std::memory_order_acquire))
            grow(count);
        return bytes_.get();
    }
    const uint8_t* reach(size_t count) const
    {
        if (count > reached_.load(std::memory_order_acquire))
            grow(count);
        return bytes_.get();
    }
    // How far the block has been asked for.
    size_t reached() const { return reached_.load(std::memory_order_acquire); }

    // Every byte erased again, at no cost now: the bytes are erased when next
    // asked for.
    void erase() { reached_.store(0, std::memory_order_release); }

private:
    // Erasing what is asked for changes no byte anyone was handed, so a block
    // read through a const reference may grow too.
    void grow(size_t count) const;

    size_t capacity_;
    std::unique_ptr<uint8_t[]> bytes_;
    mutable std::atomic<size_t> reached_{0};
    mutable std::mutex growing_;
};
