#include "hexview/HexPainter.h"

#include "hexview/GlyphTable.h"

#include <QGlyphRun>
#include <QPainter>

namespace {

const QColor ChangedText(0x80, 0x00, 0x00);
const QColor ChangedBackground(0xFF, 0xFF, 0xA8);
const QColor Navy(0x00, 0x00, 0x80);
const QColor Blue(0x00, 0x00, 0xFF);
const QColor CaretUnfocused(0x00, 0xFF, 0xFF);

const char HexDigits[] = "0123456789ABCDEF";

} // namespace

HexPainter::HexPainter(QPainter& painter, const HexLayout& layout, const GlyphTable& glyphs, const QPalette& palette)
    : painter_(painter), layout_(layout), glyphs_(glyphs), palette_(palette)
{
    colours_[EvenColumn] = Navy;
    colours_[OddColumn] = Blue;
    colours_[Text] = palette.color(QPalette::Text);
    colours_[Changed] = ChangedText;
    colours_[Selected] = palette.color(QPalette::HighlightedText);
    // The offset column is black on the button face, the current row's offset
    // in the highlight colour on the shadow colour.
    colours_[Offset] = Qt::black;
    colours_[CurrentOffset] = palette.color(QPalette::Highlight);
    colours_[Ruler] = palette.color(QPalette::ButtonText);
    for (int digit = 0; digit < 16; ++digit)
        hexGlyphs_[digit] = glyphs.glyph(QChar(HexDigits[digit]));
    ascent_ = glyphs.rawFont().ascent();
}

void HexPainter::addGlyph(Ink ink, int column, qreal baseline, quint32 glyph)
{
    runs_[ink].glyphs.append(glyph);
    runs_[ink].positions.append(QPointF(layout_.x(column), baseline));
}

void HexPainter::addText(Ink ink, int column, qreal baseline, const QString& text)
{
    for (QChar character : text)
        addGlyph(ink, column++, baseline, glyphs_.glyph(character));
}

void HexPainter::drawRuns()
{
    QGlyphRun run;
    run.setRawFont(glyphs_.rawFont());
    for (int ink = 0; ink < InkCount; ++ink) {
        Run& pending = runs_[ink];
        if (pending.glyphs.isEmpty())
            continue;
        run.setGlyphIndexes(pending.glyphs);
        run.setPositions(pending.positions);
        painter_.setPen(colours_[ink]);
        painter_.drawGlyphRun(QPointF(0, 0), run);
        pending.glyphs.clear();
        pending.positions.clear();
    }
}

void HexPainter::paintOffsetBackground(int height)
{
    painter_.fillRect(QRectF(0, 0, layout_.x(layout_.offsetColumnEnd()), height), palette_.color(QPalette::Button));
}

void HexPainter::paintRows(const Rows& rows, uint32_t currentRow)
{
    const qreal cell = layout_.cellWidth();
    const int height = layout_.rowHeight();
    const QColor highlight = palette_.color(QPalette::Highlight);

    for (int row = rows.first; row < rows.last; ++row) {
        const int top = layout_.rowTop(row - rows.firstVisibleRow);
        const qreal baseline = top + ascent_;
        const uint32_t rowStart = static_cast<uint32_t>(row) * HexLayout::BytesPerRow;
        const uint32_t rowIndex = rowStart - static_cast<uint32_t>(rows.first) * HexLayout::BytesPerRow;

        const bool current = static_cast<uint32_t>(row) == currentRow;
        if (current)
            painter_.fillRect(QRectF(0, top, layout_.x(layout_.offsetColumnEnd()), height), palette_.color(QPalette::Shadow));
        addText(current ? CurrentOffset : Offset, layout_.offsetColumn(), baseline, layout_.offsetText(rowStart));

        for (int b = 0; b < HexLayout::BytesPerRow && rowIndex + b < rows.available; ++b) {
            const uint32_t index = rowIndex + b;
            const uint32_t position = rowStart + b;
            const uint8_t value = rows.bytes[index];
            const bool selected = position >= rows.selectionStart && position < rows.selectionEnd;
            const bool changed = rows.marks[index];
            const int hex = layout_.hexColumn(b, 0);
            const int text = layout_.textColumn(b);
            if (selected || changed) {
                // A selection runs on through the gap to the next selected byte.
                const bool joined = selected && b + 1 < HexLayout::BytesPerRow && position + 1 < rows.selectionEnd
                                    && index + 1 < rows.available;
                const int hexEnd = joined ? layout_.hexColumn(b + 1, 0) : hex + 2;
                const QColor background = selected ? highlight : ChangedBackground;
                painter_.fillRect(QRectF(layout_.x(hex), top, (hexEnd - hex) * cell, height), background);
                painter_.fillRect(QRectF(layout_.x(text), top, cell, height), background);
            }
            const Ink hexInk = selected ? Selected : changed ? Changed : (layout_.groupOf(b) % 2 ? OddColumn : EvenColumn);
            addGlyph(hexInk, hex, baseline, hexGlyphs_[value >> 4]);
            addGlyph(hexInk, hex + 1, baseline, hexGlyphs_[value & 0xF]);
            addGlyph(selected ? Selected : changed ? Changed : Text, text, baseline, glyphs_.byteGlyph(value));
        }
    }
    drawRuns();
}

void HexPainter::paintRuler(qreal width)
{
    painter_.fillRect(QRectF(0, 0, width, layout_.rulerHeight()), palette_.color(QPalette::Button));
    for (int b = 0; b < HexLayout::BytesPerRow; b += layout_.bytesPerGroup()) {
        const Ink ink = layout_.groupOf(b) % 2 ? OddColumn : EvenColumn;
        addGlyph(ink, layout_.hexColumn(b, 0), ascent_, hexGlyphs_[b >> 4]);
        addGlyph(ink, layout_.hexColumn(b, 1), ascent_, hexGlyphs_[b & 0xF]);
    }
    for (int b = 0; b < HexLayout::BytesPerRow; ++b)
        addGlyph(Ruler, layout_.textColumn(b), ascent_, hexGlyphs_[b]);
    drawRuns();
}

void HexPainter::paintCaret(const Caret& caret, int firstVisibleRow, int rowCount)
{
    const int row = static_cast<int>(caret.position / HexLayout::BytesPerRow);
    if (row < firstVisibleRow || row >= firstVisibleRow + rowCount)
        return;
    const int b = static_cast<int>(caret.position % HexLayout::BytesPerRow);
    const int top = layout_.rowTop(row - firstVisibleRow);
    const qreal cell = layout_.cellWidth();
    const int height = layout_.rowHeight();
    const QColor colour = caret.focused ? Navy : CaretUnfocused;

    const QRectF hexCells(layout_.x(layout_.hexColumn(b, 0)), top, 2 * cell, height);
    const QRectF textCell(layout_.x(layout_.textColumn(b)), top, cell, height);
    const QRectF active = caret.inTextField ? textCell : hexCells.adjusted(caret.nibble * cell, 0, (caret.nibble - 1) * cell, 0);
    const QRectF passive = caret.inTextField ? hexCells : textCell;

    painter_.save();
    painter_.setBrush(Qt::NoBrush);
    if (caret.insertMode) {
        painter_.fillRect(QRectF(active.left(), active.top(), 2, active.height()), colour);
    } else {
        painter_.setPen(QPen(colour, 2));
        painter_.drawRect(active.adjusted(1, 1, -1, -1));
    }
    painter_.setPen(QPen(colour, 1, Qt::DotLine));
    painter_.drawRect(passive.adjusted(0.5, 0.5, -0.5, -0.5));
    painter_.restore();
}
