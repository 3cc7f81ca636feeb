#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// The bytes of one view as a piece table. The loaded block is never written;
// every edit appends its new bytes to a second block and rewrites only the
// few pieces it touches. An undo step keeps just those pieces, before and
// after, so editing a 64 MiB block costs O(pieces), never a copy of the block.
class ByteStore {
public:
    void load(const uint8_t* data, uint32_t count);
    uint32_t size() const { return size_; }
    uint8_t byte(uint32_t index) const;
    // Changed bytes are those the user typed since the last load or clearHistory().
    bool isChanged(uint32_t index) const;
    // Copies the bytes [first, first + count) clipped to the contents; marks may be null.
    void read(uint32_t first, uint32_t count, uint8_t* bytes, bool* marks = nullptr) const;

    // Replaces removeCount bytes at position by insertCount new bytes as one
    // undo step. Covers overwriting, inserting and deleting.
    void replace(uint32_t position, uint32_t removeCount, const uint8_t* bytes, uint32_t insertCount);

    bool canUndo() const { return done_ > 0; }
    bool canRedo() const { return done_ < history_.size(); }
    // Both return the position of the change they reverted or repeated.
    uint32_t undo();
    uint32_t redo();
    // Steps applied since the last load or clearHistory(); 0 means unchanged.
    size_t undoDepth() const { return done_; }
    // Keeps the contents, forgets the undo steps and the change marks.
    void clearHistory();

private:
    struct Piece {
        uint32_t start;   // position in the contents, kept by swapPieces()
        uint32_t length;
        uint32_t source;  // offset in the block the piece comes from
        bool added;       // from the block of typed bytes
        bool marked;      // shown as changed
    };
    struct Change {
        size_t first;
        std::vector<Piece> before;
        std::vector<Piece> after;
        uint32_t position;
    };

    size_t pieceAt(uint32_t index) const;
    const uint8_t* bytesOf(const Piece& piece) const;
    void swapPieces(size_t first, size_t removeCount, const std::vector<Piece>& insert);

    std::unique_ptr<uint8_t[]> original_;
    uint32_t originalCapacity_ = 0;
    std::vector<uint8_t> added_;
    std::vector<Piece> pieces_;
    std::vector<Change> history_;
    size_t done_ = 0;
    uint32_t size_ = 0;
};
