#pragma once

#include "hexview/HexLayout.h"

#include <QPalette>
#include <cstdint>

class QPainter;

// Draws the rows a view shows, given the bytes of just those rows. Kept apart
// from the widget so that the cost of a paint depends only on what is visible.
class HexPainter {
public:
    struct Caret {
        uint32_t position;
        int nibble;
        bool inTextField;
        bool insertMode;
        bool focused;
    };
    struct Rows {
        int firstVisibleRow;     // the row at the top of the viewport
        int first;               // rows to paint, [first, last)
        int last;
        const uint8_t* bytes;    // from the first byte of row `first`
        const bool* marks;       // change marks of the same bytes
        uint32_t available;      // bytes in `bytes`
        uint32_t selectionStart;
        uint32_t selectionEnd;
    };

    HexPainter(QPainter& painter, const HexLayout& layout, const QPalette& palette);

    void paintOffsetBackground(int height);
    void paintRows(const Rows& rows, uint32_t currentRow);
    void paintRuler(qreal width);
    void paintCaret(const Caret& caret, int firstVisibleRow, int rowCount);

private:
    QPainter& painter_;
    const HexLayout& layout_;
    const QPalette& palette_;
};
