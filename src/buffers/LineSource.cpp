#include "buffers/LineSource.h"

#include <cstring>

LineSource::LineSource(InputFile& file) : file_(file), block_(BlockSize) {}

bool LineSource::refill()
{
    if (endOfFile_)
        return false;
    if (begin_ > 0) {
        std::memmove(block_.data(), block_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == block_.size())
        block_.resize(block_.size() * 2);
    const int64_t got = file_.read(block_.data() + end_, block_.size() - end_);
    if (got <= 0) {
        // A read error ends the file like its end does: the reader then
        // reports that no line could be read.
        endOfFile_ = true;
        return false;
    }
    end_ += static_cast<size_t>(got);
    return true;
}

bool LineSource::ReadLine(std::string_view& line)
{
    for (;;) {
        const char* start = block_.data() + begin_;
        const char* from = start + scanned_;
        const char* stop = block_.data() + end_;
        const auto* lineFeed = static_cast<const char*>(std::memchr(from, '\n', stop - from));
        const char* searchEnd = lineFeed ? lineFeed : stop;
        const auto* carriageReturn = static_cast<const char*>(std::memchr(from, '\r', searchEnd - from));

        const char* ending = carriageReturn ? carriageReturn : lineFeed;
        size_t endingLength = 1;
        bool complete = ending != nullptr;
        if (carriageReturn) {
            if (carriageReturn + 1 < stop)
                endingLength = carriageReturn[1] == '\n' ? 2 : 1;
            else
                complete = endOfFile_;  // the line feed may follow in the next block
        }
        if (complete) {
            line = std::string_view(start, ending - start);
            begin_ = (ending - block_.data()) + endingLength;
            scanned_ = 0;
            return true;
        }
        scanned_ = (carriageReturn ? carriageReturn : stop) - start;
        if (!refill()) {
            if (carriageReturn)
                continue;  // now known to be the file's last ending
            if (begin_ == end_)
                return false;
            line = std::string_view(block_.data() + begin_, end_ - begin_);
            begin_ = end_;
            scanned_ = 0;
            return true;
        }
    }
}
