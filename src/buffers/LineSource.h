#pragma once

#include <string_view>
#include <vector>

#include "buffers/InputFile.h"

// The record readers' line source. Lines end with a line feed, a carriage
// return and line feed, or a lone carriage return; the last line may have no
// ending. Lines of any length are returned whole, without their ending, and
// stay valid until the next call. Reads the file in large blocks.
class LineSource {
public:
    explicit LineSource(InputFile& file);

    // False once not a single byte is left to read.
    bool ReadLine(std::string_view& line);

private:
    // Moves the unread tail to the front (growing the block when the tail
    // fills it) and appends what the file has; false when nothing was added.
    bool refill();

    static constexpr size_t BlockSize = 1 << 20;

    InputFile& file_;
    std::vector<char> block_;
    size_t begin_ = 0;      // first unread byte of block_
    size_t end_ = 0;        // one past the last byte read into block_
    size_t scanned_ = 0;    // bytes after begin_ already known to hold no ending
    bool endOfFile_ = false;
};
