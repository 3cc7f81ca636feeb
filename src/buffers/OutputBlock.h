#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/AtomicFile.h"

// Whether the `count` bytes of a record (at most 32) are all erased: the record
// writers leave such records out.
bool RecordIsBlank(const uint8_t* bytes, size_t count);

// Where the record writers build their lines: a large block that goes to the
// file in one write whenever it is nearly full.
class OutputBlock {
public:
    explicit OutputBlock(AtomicFile& file);

    // Room for at least `count` more characters, to be followed by advance().
    char* reserve(size_t count)
    {
        if (block_.size() - used_ < count)
            flush();
        return block_.data() + used_;
    }
    void advance(const char* end) { used_ = static_cast<size_t>(end - block_.data()); }

    void append(const char* text, size_t count);
    // Writes what is left; false once any write failed.
    bool finish();

private:
    void flush();

    static constexpr size_t BlockSize = 1 << 20;

    AtomicFile& file_;
    std::vector<char> block_;
    size_t used_ = 0;
    bool failed_ = false;
};
