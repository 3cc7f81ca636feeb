#include "hexview/ByteStore.h"

#include <algorithm>
#include <cstring>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

// A fresh 64 MiB block costs 16 Ki page faults on first write, more than the
// copy itself; huge pages, where the system offers them, cut that to a few dozen.
void preferHugePages([[maybe_unused]] uint8_t* block, [[maybe_unused]] size_t size)
{
#ifdef __linux__
    constexpr uintptr_t HugePage = 2u << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + HugePage - 1) & ~(HugePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(HugePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

} // namespace

void ByteStore::load(const uint8_t* data, uint32_t count)
{
    // Reusing the block spares the page faults of a fresh 64 MiB allocation
    // when a view of the same size is reloaded.
    if (count > originalCapacity_) {
        original_.reset();
        original_ = std::make_unique_for_overwrite<uint8_t[]>(count);
        originalCapacity_ = count;
        preferHugePages(original_.get(), count);
    }
    if (count > 0)
        std::memcpy(original_.get(), data, count);
    added_.clear();
    pieces_.clear();
    if (count > 0)
        pieces_.push_back({0, count, 0, false, false});
    history_.clear();
    done_ = 0;
    size_ = count;
}

size_t ByteStore::pieceAt(uint32_t index) const
{
    auto after = std::upper_bound(pieces_.begin(), pieces_.end(), index,
                                  [](uint32_t value, const Piece& piece) { return value < piece.start; });
    return static_cast<size_t>(after - pieces_.begin()) - 1;
}

const uint8_t* ByteStore::bytesOf(const Piece& piece) const
{
    return (piece.added ? added_.data() : original_.get()) + piece.source;
}

uint8_t ByteStore::byte(uint32_t index) const
{
    if (index >= size_)
        return 0;
    const Piece& piece = pieces_[pieceAt(index)];
    return bytesOf(piece)[index - piece.start];
}

bool ByteStore::isChanged(uint32_t index) const
{
    return index < size_ && pieces_[pieceAt(index)].marked;
}

void ByteStore::read(uint32_t first, uint32_t count, uint8_t* bytes, bool* marks) const
{
    if (first >= size_)
        return;
    count = std::min(count, size_ - first);
    for (size_t i = pieceAt(first); count > 0; ++i) {
        const Piece& piece = pieces_[i];
        const uint32_t skip = first - piece.start;
        const uint32_t take = std::min(count, piece.length - skip);
        std::memcpy(bytes, bytesOf(piece) + skip, take);
        bytes += take;
        if (marks) {
            std::fill_n(marks, take, piece.marked);
            marks += take;
        }
        first += take;
        count -= take;
    }
}

void ByteStore::replace(uint32_t position, uint32_t removeCount, const uint8_t* bytes, uint32_t insertCount)
{
    if (position > size_)
        return;
    removeCount = std::min(removeCount, size_ - position);
    if (removeCount == 0 && insertCount == 0)
        return;

    const uint32_t source = static_cast<uint32_t>(added_.size());
    added_.insert(added_.end(), bytes, bytes + insertCount);

    // The pieces touched: the one before the position (so that typing on
    // extends the previous typed piece) up to the one holding the first kept byte.
    const uint32_t end = position + removeCount;
    const size_t first = position == 0 ? 0 : pieceAt(position - 1);
    const size_t last = end < size_ ? pieceAt(end) + 1 : pieces_.size();

    std::vector<Piece> after;
    auto append = [&after](Piece piece) {
        if (piece.length == 0)
            return;
        if (!after.empty()) {
            Piece& previous = after.back();
            if (previous.added == piece.added && previous.marked == piece.marked
                && previous.source + previous.length == piece.source) {
                previous.length += piece.length;
                return;
            }
        }
        after.push_back(piece);
    };
    for (size_t i = first; i < last; ++i) {
        const Piece& piece = pieces_[i];
        if (piece.start < position)
            append({0, std::min(piece.length, position - piece.start), piece.source, piece.added, piece.marked});
    }
    append({0, insertCount, source, true, true});
    for (size_t i = first; i < last; ++i) {
        const Piece& piece = pieces_[i];
        const uint32_t pieceEnd = piece.start + piece.length;
        if (pieceEnd > end) {
            const uint32_t skip = end > piece.start ? end - piece.start : 0;
            append({0, piece.length - skip, piece.source + skip, piece.added, piece.marked});
        }
    }

    history_.resize(done_);
    history_.push_back({first, {pieces_.begin() + first, pieces_.begin() + last}, after, position});
    ++done_;
    swapPieces(first, last - first, after);
}

uint32_t ByteStore::undo()
{
    if (!canUndo())
        return 0;
    const Change& change = history_[--done_];
    swapPieces(change.first, change.after.size(), change.before);
    return change.position;
}

uint32_t ByteStore::redo()
{
    if (!canRedo())
        return 0;
    const Change& change = history_[done_++];
    swapPieces(change.first, change.before.size(), change.after);
    return change.position;
}

void ByteStore::clearHistory()
{
    history_.clear();
    done_ = 0;
    for (Piece& piece : pieces_)
        piece.marked = false;
}

void ByteStore::swapPieces(size_t first, size_t removeCount, const std::vector<Piece>& insert)
{
    pieces_.erase(pieces_.begin() + first, pieces_.begin() + first + removeCount);
    pieces_.insert(pieces_.begin() + first, insert.begin(), insert.end());
    uint32_t start = first == 0 ? 0 : pieces_[first - 1].start + pieces_[first - 1].length;
    for (size_t i = first; i < pieces_.size(); ++i) {
        pieces_[i].start = start;
        start += pieces_[i].length;
    }
    size_ = start;
}
