#pragma once

#include "hexview/HexLayout.h"

#include <QColor>
#include <QList>
#include <QPalette>
#include <QPointF>
#include <array>
#include <cstdint>

class GlyphTable;
class QPainter;

// Draws the rows a view shows, given the bytes of just those rows. Glyphs are
// gathered per colour and drawn in one run each, so a paint costs a handful
// of draw calls whatever the number of rows.
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

    HexPainter(QPainter& painter, const HexLayout& layout, const GlyphTable& glyphs, const QPalette& palette);

    void paintOffsetBackground(int height);
    void paintRows(const Rows& rows, uint32_t currentRow);
    void paintRuler(qreal width);
    void paintCaret(const Caret& caret, int firstVisibleRow, int rowCount);

private:
    enum Ink { EvenColumn, OddColumn, Text, Changed, Selected, Offset, CurrentOffset, Ruler, InkCount };
    struct Run {
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };

    void addGlyph(Ink ink, int column, qreal baseline, quint32 glyph);
    void addText(Ink ink, int column, qreal baseline, const QString& text);
    void drawRuns();

    QPainter& painter_;
    const HexLayout& layout_;
    const GlyphTable& glyphs_;
    const QPalette& palette_;
    std::array<QColor, InkCount> colours_;
    std::array<Run, InkCount> runs_;
    std::array<quint32, 16> hexGlyphs_;
    qreal ascent_;
};
