#include "hexview/HexLayout.h"

#include <algorithm>
#include <cmath>

void HexLayout::setCellSize(qreal width, int height)
{
    cellWidth_ = width;
    rowHeight_ = std::max(1, height);
}

void HexLayout::setBytesPerGroup(int bytes)
{
    if (bytes >= 1 && bytes <= BytesPerRow && BytesPerRow % bytes == 0)
        bytesPerGroup_ = bytes;
}

void HexLayout::setByteCount(uint32_t count)
{
    // Four digits at least, and an even number, so that sizes of the usual
    // chips line up: FFFF, 03FFFFF0.
    int digits = 1;
    for (uint32_t last = count > 0 ? count - 1 : 0; last > 0xF; last >>= 4)
        ++digits;
    offsetDigits_ = std::max(4, digits + digits % 2);
}

QString HexLayout::offsetText(uint32_t offset) const
{
    return prefix_ + QStringLiteral("%1").arg(offset, offsetDigits_, 16, QLatin1Char('0')).toUpper();
}

int HexLayout::hexColumn(int byteInRow, int nibble) const
{
    return hexStart() + groupOf(byteInRow) * groupWidth() + 2 * (byteInRow % bytesPerGroup_) + nibble;
}

int HexLayout::textColumn(int byteInRow) const
{
    return hexStart() + (BytesPerRow / bytesPerGroup_) * groupWidth() + 1 + byteInRow;
}

int HexLayout::visibleRows(int viewportHeight) const
{
    return std::max(1, (viewportHeight - rulerHeight()) / rowHeight_);
}

HexLayout::Hit HexLayout::hitTest(QPointF point, int firstRow) const
{
    const int row = firstRow + static_cast<int>(std::floor(std::max(0.0, point.y() - rulerHeight()) / rowHeight_));
    const int column = static_cast<int>(std::floor(point.x() / cellWidth_));
    const uint32_t rowStart = static_cast<uint32_t>(row) * BytesPerRow;
    const int textStart = textColumn(0);
    if (column < hexStart())
        return {column < offsetColumnEnd() ? Area::Offset : Area::Hex, rowStart, 0};
    if (column >= textStart - 1)
        return {Area::Text, rowStart + std::clamp(column - textStart, 0, BytesPerRow - 1), 0};
    const int inHex = column - hexStart();
    const int group = std::min(inHex / groupWidth(), BytesPerRow / bytesPerGroup_ - 1);
    const int cell = std::min(inHex - group * groupWidth(), 2 * bytesPerGroup_ - 1);
    return {Area::Hex, rowStart + group * bytesPerGroup_ + cell / 2, cell % 2};
}
