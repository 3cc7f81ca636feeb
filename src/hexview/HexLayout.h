#pragma once

#include <QPointF>
#include <QString>
#include <cstdint>

// All arithmetic between byte positions and the view's geometry. The view is
// a grid of character cells of one monospace font: the offset column, the hex
// field in groups of bytes, and the text field, one row per 16 bytes.
class HexLayout {
public:
    static constexpr int BytesPerRow = 16;

    enum class Area { Offset, Hex, Text };
    struct Hit {
        Area area;
        uint32_t position;  // may lie past the contents on the last row
        int nibble;         // 0 high, 1 low; only in the hex field
    };

    void setCellSize(qreal width, int height);
    void setBytesPerGroup(int bytes);
    int bytesPerGroup() const { return bytesPerGroup_; }
    void setRulerVisible(bool visible) { rulerVisible_ = visible; }
    bool isRulerVisible() const { return rulerVisible_; }
    void setOffsetPrefix(const QString& prefix) { prefix_ = prefix; }
    const QString& offsetPrefix() const { return prefix_; }
    // The offset column is as wide as the largest offset needs.
    void setByteCount(uint32_t count);

    QString offsetText(uint32_t offset) const;
    // Row count for the given number of positions the caret can take.
    static int rowCount(uint64_t positions) { return static_cast<int>((positions + BytesPerRow - 1) / BytesPerRow); }

    qreal cellWidth() const { return cellWidth_; }
    int rowHeight() const { return rowHeight_; }
    int rulerHeight() const { return rulerVisible_ ? rowHeight_ : 0; }
    // Cell columns; x of a column is column * cellWidth().
    int offsetColumn() const { return 1; }
    int offsetColumnEnd() const { return prefix_.size() + offsetDigits_ + 2; }
    int hexColumn(int byteInRow, int nibble) const;
    int textColumn(int byteInRow) const;
    int columnCount() const { return textColumn(BytesPerRow) + 1; }
    int groupOf(int byteInRow) const { return byteInRow / bytesPerGroup_; }
    qreal x(int column) const { return column * cellWidth_; }
    qreal contentWidth() const { return x(columnCount()); }
    // y of the top of the row shown visibleIndex rows below the first one.
    int rowTop(int visibleIndex) const { return rulerHeight() + visibleIndex * rowHeight_; }
    // Whole rows that fit into a viewport of the given height.
    int visibleRows(int viewportHeight) const;

    // point is in content coordinates (horizontal scrolling already undone).
    Hit hitTest(QPointF point, int firstRow) const;

private:
    int hexStart() const { return offsetColumnEnd() + 1; }
    int groupWidth() const { return 2 * bytesPerGroup_ + 1; }

    qreal cellWidth_ = 9;
    int rowHeight_ = 17;
    int bytesPerGroup_ = 1;
    bool rulerVisible_ = false;
    QString prefix_;
    int offsetDigits_ = 4;
};
