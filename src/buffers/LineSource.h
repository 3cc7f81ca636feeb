#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "buffers/InputFile.h"

// The record readers' line source, over a file or over text in memory. Lines
// end with a line feed, a carriage return and line feed, a doubled carriage
// return before a line feed (as a CR LF file gets when its line feeds are
// turned into CR LF once more), or a lone carriage return; the last line may
// have no ending. Lines are returned without their ending and stay valid until
// the next call. A line longer than MaxLineLength ends the reading, so that a
// file without line endings is never held whole. Reads a file in large blocks.
class LineSource {
public:
    // Far longer than any record: the longest holds 255 data bytes.
    static constexpr size_t MaxLineLength = 8192;

    explicit LineSource(InputFile& file);
    explicit LineSource(std::string_view text);

    // False once not a single byte is left to read, or at a line longer than
    // MaxLineLength (then tooLong() tells).
    bool ReadLine(std::string_view& line);

    bool tooLong() const { return tooLong_; }
    // The number, counted from 1, of the line last returned or found too long.
    uint64_t lineNumber() const { return lineNumber_; }
    // What the readers report for a line found too long, in `language`.
    std::string tooLongMessage(int language) const;

private:
    // Moves the unread tail to the front and appends what the file has; false
    // when nothing was added.
    bool refill();
    // The length of the ending that starts at `ending`, or 0 when the bytes
    // still to come decide it.
    size_t endingLength(const char* ending) const;
    bool takeLine(const char* end, size_t endingLength, std::string_view& line);

    static constexpr size_t BlockSize = 1 << 20;

    InputFile* file_ = nullptr;  // none for text in memory
    std::vector<char> block_;
    const char* data_;      // block_'s bytes, or the text in memory
    size_t begin_ = 0;      // first unread byte of data_
    size_t end_ = 0;        // one past the last byte read into data_
    size_t scanned_ = 0;    // bytes after begin_ already known to hold no ending
    bool endOfFile_ = false;
    bool tooLong_ = false;
    uint64_t lineNumber_ = 0;
};
