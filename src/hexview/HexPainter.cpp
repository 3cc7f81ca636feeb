#include "hexview/HexPainter.h"

#include <QPainter>
#include <array>

namespace {

const QColor ChangedText(0x80, 0x00, 0x00);
const QColor ChangedBackground(0xFF, 0xFF, 0xA8);
const QColor EvenColumn(0x00, 0x00, 0x80);
const QColor OddColumn(0x00, 0x00, 0xFF);
const QColor CaretFocused(0x00, 0x00, 0x80);
const QColor CaretUnfocused(0x00, 0xFF, 0xFF);

const char HexDigits[] = "0123456789ABCDEF";

// Every cell of a row belongs to one colour; a row is drawn as one string per
// colour, blank where other colours are, which a monospace font lines up.
enum Ink { Even, Odd, Text, Changed, Selected, InkCount };

const std::array<QChar, 256>& characterTable()
{
    static const std::array<QChar, 256> table = [] {
        std::array<QChar, 256> characters;
        for (int value = 0; value < 256; ++value) {
            const QChar character(static_cast<char16_t>(value));
            characters[value] = character.isPrint() ? character : QChar(u'.');
        }
        return characters;
    }();
    return table;
}

} // namespace

HexPainter::HexPainter(QPainter& painter, const HexLayout& layout, const QPalette& palette)
    : painter_(painter), layout_(layout), palette_(palette)
{
}

void HexPainter::paintOffsetBackground(int height)
{
    painter_.fillRect(QRectF(0, 0, layout_.x(layout_.offsetColumnEnd()), height), palette_.color(QPalette::Button));
}

void HexPainter::paintRows(const Rows& rows, uint32_t currentRow)
{
    const qreal cell = layout_.cellWidth();
    const int height = layout_.rowHeight();
    const int ascent = painter_.fontMetrics().ascent();
    const QColor inks[InkCount] = {EvenColumn, OddColumn, palette_.color(QPalette::Text), ChangedText,
                                   palette_.color(QPalette::HighlightedText)};
    const auto& characters = characterTable();
    const int columns = layout_.columnCount();
    std::array<QString, InkCount> lines;

    for (int row = rows.first; row < rows.last; ++row) {
        const int top = layout_.rowTop(row - rows.firstVisibleRow);
        const uint32_t rowStart = static_cast<uint32_t>(row) * HexLayout::BytesPerRow;
        const uint32_t offsetInBytes = rowStart - static_cast<uint32_t>(rows.first) * HexLayout::BytesPerRow;

        const bool current = static_cast<uint32_t>(row) == currentRow;
        if (current)
            painter_.fillRect(QRectF(0, top, layout_.x(layout_.offsetColumnEnd()), height), palette_.color(QPalette::Shadow));
        painter_.setPen(current ? palette_.color(QPalette::Highlight) : QColor(Qt::black));
        painter_.drawText(QPointF(layout_.x(layout_.offsetColumn()), top + ascent), layout_.offsetText(rowStart));

        for (QString& line : lines)
            line.fill(u' ', columns);
        std::array<bool, InkCount> used{};
        for (int b = 0; b < HexLayout::BytesPerRow; ++b) {
            const uint32_t index = offsetInBytes + b;
            if (index >= rows.available)
                break;
            const uint32_t position = rowStart + b;
            const uint8_t value = rows.bytes[index];
            const bool selected = position >= rows.selectionStart && position < rows.selectionEnd;
            const bool changed = rows.marks[index];
            const int hex = layout_.hexColumn(b, 0);
            const int text = layout_.textColumn(b);
            if (selected || changed) {
                const QColor background = selected ? palette_.color(QPalette::Highlight) : ChangedBackground;
                // A selection runs on through the gap to the next selected byte.
                const bool joined = selected && b + 1 < HexLayout::BytesPerRow && position + 1 < rows.selectionEnd
                                    && index + 1 < rows.available;
                const int hexEnd = joined ? layout_.hexColumn(b + 1, 0) : hex + 2;
                painter_.fillRect(QRectF(layout_.x(hex), top, (hexEnd - hex) * cell, height), background);
                painter_.fillRect(QRectF(layout_.x(text), top, cell, height), background);
            }
            const Ink hexInk = selected ? Selected : changed ? Changed : (layout_.groupOf(b) % 2 ? Odd : Even);
            const Ink textInk = selected ? Selected : changed ? Changed : Text;
            lines[hexInk][hex] = QChar(HexDigits[value >> 4]);
            lines[hexInk][hex + 1] = QChar(HexDigits[value & 0xF]);
            lines[textInk][text] = characters[value];
            used[hexInk] = used[textInk] = true;
        }
        for (int ink = 0; ink < InkCount; ++ink) {
            if (!used[ink])
                continue;
            painter_.setPen(inks[ink]);
            painter_.drawText(QPointF(0, top + ascent), lines[ink]);
        }
    }
}

void HexPainter::paintRuler(qreal width)
{
    const int height = layout_.rulerHeight();
    const int baseline = painter_.fontMetrics().ascent();
    painter_.fillRect(QRectF(0, 0, width, height), palette_.color(QPalette::Button));
    const int groupBytes = layout_.bytesPerGroup();
    for (int b = 0; b < HexLayout::BytesPerRow; b += groupBytes) {
        painter_.setPen(layout_.groupOf(b) % 2 ? OddColumn : EvenColumn);
        painter_.drawText(QPointF(layout_.x(layout_.hexColumn(b, 0)), baseline),
                          QString(QChar(HexDigits[b >> 4])) + QChar(HexDigits[b & 0xF]));
    }
    painter_.setPen(palette_.color(QPalette::ButtonText));
    for (int b = 0; b < HexLayout::BytesPerRow; ++b)
        painter_.drawText(QPointF(layout_.x(layout_.textColumn(b)), baseline), QString(QChar(HexDigits[b])));
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
    const QColor colour = caret.focused ? CaretFocused : CaretUnfocused;

    const QRectF hexCells(layout_.x(layout_.hexColumn(b, 0)), top, 2 * cell, height);
    const QRectF textCell(layout_.x(layout_.textColumn(b)), top, cell, height);
    const QRectF active = caret.inTextField ? textCell : hexCells.adjusted(caret.nibble * cell, 0, (caret.nibble - 1) * cell, 0);
    const QRectF passive = caret.inTextField ? hexCells : textCell;

    painter_.save();
    painter_.setBrush(Qt::NoBrush);
    if (caret.insertMode)
        painter_.fillRect(QRectF(active.left(), active.top(), 2, active.height()), colour);
    else {
        painter_.setPen(QPen(colour, 2));
        painter_.drawRect(active.adjusted(1, 1, -1, -1));
    }
    painter_.setPen(QPen(colour, 1, Qt::DotLine));
    painter_.drawRect(passive.adjusted(0.5, 0.5, -0.5, -0.5));
    painter_.restore();
}
