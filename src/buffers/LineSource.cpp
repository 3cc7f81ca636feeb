#include "buffers/LineSource.h"

#include <algorithm>
#include <cstring>

#include "core/MessageCatalogue.h"

LineSource::LineSource(InputFile& file) : file_(&file), block_(BlockSize), data_(block_.data()) {}

LineSource::LineSource(std::string_view text) : data_(text.data()), end_(text.size()), endOfFile_(true) {}

bool LineSource::refill()
{
    if (endOfFile_)
        return false;
    // The tail is at most one line and its ending, so it always leaves room.
    if (begin_ > 0) {
        std::memmove(block_.data(), block_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    const int64_t got = file_->read(block_.data() + end_, block_.size() - end_);
    if (got <= 0) {
        // A read error ends the file like its end does: the reader then
        // reports that no line could be read.
        endOfFile_ = true;
        return false;
    }
    end_ += static_cast<size_t>(got);
    return true;
}

size_t LineSource::endingLength(const char* ending) const
{
    if (*ending == '\n')
        return 1;
    const char* stop = data_ + end_;
    for (size_t length = 1; length <= 2; ++length) {
        if (ending + length == stop)
            return endOfFile_ ? 1 : 0;
        if (ending[length] == '\n')
            return length + 1;
        if (ending[length] != '\r')
            return 1;
    }
    return 1;  // three carriage returns: the first ends a line on its own
}

bool LineSource::takeLine(const char* end, size_t endingLength, std::string_view& line)
{
    const char* start = data_ + begin_;
    ++lineNumber_;
    if (static_cast<size_t>(end - start) > MaxLineLength) {
        tooLong_ = true;
        return false;
    }
    line = std::string_view(start, end - start);
    begin_ = (end - data_) + endingLength;
    scanned_ = 0;
    return true;
}

bool LineSource::ReadLine(std::string_view& line)
{
    // Empty text in memory may have no bytes at all to point at.
    if (tooLong_ || (begin_ == end_ && endOfFile_))
        return false;
    for (;;) {
        const char* start = data_ + begin_;
        const char* from = start + scanned_;
        // Searching no further than a line may reach keeps a file of lone
        // carriage returns from being scanned to the block's end for every line.
        const char* limit = data_ + std::min(end_, begin_ + MaxLineLength + 1);
        const auto* lineFeed = static_cast<const char*>(std::memchr(from, '\n', limit - from));
        const char* searchEnd = lineFeed ? lineFeed : limit;
        const auto* carriageReturn = static_cast<const char*>(std::memchr(from, '\r', searchEnd - from));
        const char* ending = carriageReturn ? carriageReturn : lineFeed;

        if (ending) {
            if (const size_t length = endingLength(ending))
                return takeLine(ending, length, line);
        }
        // No ending yet, or one the next block decides.
        scanned_ = (ending ? ending : limit) - start;
        if (scanned_ > MaxLineLength)
            return takeLine(limit, 0, line);
        if (!refill()) {
            if (ending)
                continue;  // now known to be the file's last ending
            if (begin_ == end_)
                return false;
            return takeLine(data_ + end_, 0, line);
        }
    }
}

std::string LineSource::tooLongMessage(int language) const
{
    return MessageCatalogue::format(Msg::LineTooLong, language,
                                    {std::to_string(lineNumber_), std::to_string(MaxLineLength)});
}
