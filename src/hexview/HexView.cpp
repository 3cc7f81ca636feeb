#include "hexview/HexView.h"

#include "hexview/ByteStore.h"
#include "hexview/CommandController.h"
#include "hexview/EditController.h"
#include "hexview/GlyphTable.h"
#include "hexview/HexLayout.h"
#include "hexview/HexPainter.h"
#include "hexview/NavigationController.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

QFont viewFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setKerning(false);
    // Rows are a grid of equal cells; a proportional font would leave wide
    // glyphs overlapping their neighbours.
    if (!QFontInfo(font).fixedPitch())
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(15);
    return font;
}

} // namespace

HexView::HexView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , store_(std::make_unique<ByteStore>())
    , layout_(std::make_unique<HexLayout>())
    , glyphs_(std::make_unique<GlyphTable>())
{
    keys_ = std::make_unique<CommandController>(
        *this, std::make_unique<NavigationController>(*this, std::make_unique<EditController>(*this, nullptr)));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::IBeamCursor);
    setFont(viewFont());
    updateMetrics();
}

HexView::~HexView() = default;

void HexView::load(const uint8_t* data, uint32_t count)
{
    store_->load(data, count);
    cursor_ = anchor_ = 0;
    nibble_ = 0;
    layout_->setByteCount(count);
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    updateModified();
    viewport()->update();
    emit cursorPositionChanged(cursor_);
}

bool HexView::isModified() const
{
    return modified_;
}

void HexView::clearModified()
{
    store_->clearHistory();
    updateModified();
    viewport()->update();
}

uint32_t HexView::byteCount() const
{
    return store_->size();
}

void HexView::copyOut(uint8_t* destination, uint32_t first, uint32_t count) const
{
    store_->read(first, count, destination);
}

uint8_t HexView::byteAt(uint32_t index) const
{
    return store_->byte(index);
}

bool HexView::isByteChanged(uint32_t index) const
{
    return store_->isChanged(index);
}

void HexView::setBytesPerGroup(int bytes)
{
    layout_->setBytesPerGroup(bytes);
    updateScrollBars();
    viewport()->update();
}

int HexView::bytesPerGroup() const
{
    return layout_->bytesPerGroup();
}

void HexView::setRulerVisible(bool visible)
{
    layout_->setRulerVisible(visible);
    updateScrollBars();
    viewport()->update();
}

bool HexView::isRulerVisible() const
{
    return layout_->isRulerVisible();
}

void HexView::setOffsetPrefix(const QString& prefix)
{
    layout_->setOffsetPrefix(prefix);
    updateScrollBars();
    viewport()->update();
}

QString HexView::offsetPrefix() const
{
    return layout_->offsetPrefix();
}

QString HexView::offsetText(uint32_t offset) const
{
    return layout_->offsetText(offset);
}

int HexView::firstVisibleRow() const
{
    return verticalScrollBar()->value();
}

int HexView::visibleRowCount() const
{
    return layout_->visibleRows(viewport()->height());
}

uint32_t HexView::cursorPosition() const
{
    return cursor_;
}

int HexView::cursorNibble() const
{
    return nibble_;
}

uint32_t HexView::cursorLimit() const
{
    const uint32_t size = store_->size();
    return insertMode_ || size == 0 ? size : size - 1;
}

int HexView::rowCount() const
{
    // Insert mode keeps room for the caret behind the last byte.
    return HexLayout::rowCount(uint64_t(store_->size()) + (insertMode_ ? 1 : 0));
}

void HexView::setCursorPosition(uint32_t position, bool extendSelection)
{
    // A selection may reach past the last byte so that it can include it.
    const uint32_t limit = extendSelection ? store_->size() : cursorLimit();
    cursor_ = std::min(position, limit);
    if (!extendSelection)
        anchor_ = cursor_;
    nibble_ = 0;
    ensureCursorVisible();
    viewport()->update();
    emit cursorPositionChanged(cursor_);
}

HexView::Field HexView::activeField() const
{
    return field_;
}

void HexView::setActiveField(Field field)
{
    field_ = field;
    nibble_ = 0;
    viewport()->update();
}

bool HexView::hasSelection() const
{
    return anchor_ != cursor_;
}

uint32_t HexView::selectionStart() const
{
    return std::min(anchor_, cursor_);
}

uint32_t HexView::selectionEnd() const
{
    return std::max(anchor_, cursor_);
}

QString HexView::selectedHexText() const
{
    static const char digits[] = "0123456789ABCDEF";
    const uint32_t first = selectionStart();
    const uint32_t count = std::min(selectionEnd(), store_->size()) - first;
    QString text;
    text.reserve(count > 0 ? 3 * int64_t(count) - 1 : 0);
    std::vector<uint8_t> chunk(std::min<uint32_t>(count, 1u << 16));
    for (uint32_t done = 0; done < count;) {
        const uint32_t take = std::min<uint32_t>(count - done, static_cast<uint32_t>(chunk.size()));
        store_->read(first + done, take, chunk.data());
        for (uint32_t i = 0; i < take; ++i) {
            if (done + i > 0)
                text += u' ';
            text += QChar(digits[chunk[i] >> 4]);
            text += QChar(digits[chunk[i] & 0xF]);
        }
        done += take;
    }
    return text;
}

void HexView::select(uint32_t first, uint32_t count)
{
    const uint32_t size = store_->size();
    anchor_ = std::min(first, size);
    const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(uint64_t(anchor_) + count, size));
    // The start of the match is what the user looks for; show its row.
    cursor_ = anchor_;
    ensureCursorVisible();
    setCursorPosition(end, true);
}

bool HexView::isInsertMode() const
{
    return insertMode_;
}

void HexView::setInsertMode(bool insert)
{
    if (insert == insertMode_)
        return;
    insertMode_ = insert;
    cursor_ = std::min(cursor_, cursorLimit());
    anchor_ = std::min(anchor_, store_->size());
    nibble_ = 0;
    updateScrollBars();
    viewport()->update();
    emit insertModeChanged(insert);
}

void HexView::typeHexDigit(int value)
{
    const uint32_t size = store_->size();
    value &= 0xF;
    if (insertMode_ && (nibble_ == 0 || cursor_ >= size)) {
        // The first digit inserts a byte; the second completes it in place.
        const uint8_t byte = static_cast<uint8_t>(value << 4);
        store_->replace(cursor_, 0, &byte, 1);
        nibble_ = 1;
    } else if (cursor_ < size) {
        const uint8_t old = store_->byte(cursor_);
        const uint8_t byte = static_cast<uint8_t>(nibble_ == 0 ? (value << 4) | (old & 0x0F) : (old & 0xF0) | value);
        store_->replace(cursor_, 1, &byte, 1);
        if (nibble_ == 0) {
            nibble_ = 1;
        } else {
            nibble_ = 0;
            ++cursor_;
        }
    } else {
        return;
    }
    anchor_ = cursor_;
    contentsEdited();
}

void HexView::typeCharacter(uint8_t byte)
{
    if (insertMode_)
        store_->replace(cursor_, 0, &byte, 1);
    else if (cursor_ < store_->size())
        store_->replace(cursor_, 1, &byte, 1);
    else
        return;
    ++cursor_;
    anchor_ = cursor_;
    nibble_ = 0;
    contentsEdited();
}

void HexView::removeForward()
{
    if (!insertMode_)
        return;
    if (hasSelection()) {
        const uint32_t first = selectionStart();
        store_->replace(first, selectionEnd() - first, nullptr, 0);
        cursor_ = first;
    } else if (cursor_ < store_->size()) {
        store_->replace(cursor_, 1, nullptr, 0);
    } else {
        return;
    }
    anchor_ = cursor_;
    nibble_ = 0;
    contentsEdited();
}

void HexView::removeBackward()
{
    if (!insertMode_)
        return;
    if (hasSelection()) {
        removeForward();
        return;
    }
    if (cursor_ == 0)
        return;
    store_->replace(--cursor_, 1, nullptr, 0);
    anchor_ = cursor_;
    nibble_ = 0;
    contentsEdited();
}

bool HexView::canUndo() const
{
    return store_->canUndo();
}

bool HexView::canRedo() const
{
    return store_->canRedo();
}

void HexView::undo()
{
    if (!store_->canUndo())
        return;
    cursor_ = store_->undo();
    cursor_ = std::min(cursor_, cursorLimit());
    anchor_ = cursor_;
    nibble_ = 0;
    contentsEdited();
}

void HexView::redo()
{
    if (!store_->canRedo())
        return;
    cursor_ = std::min(store_->redo(), cursorLimit());
    anchor_ = cursor_;
    nibble_ = 0;
    contentsEdited();
}

void HexView::copy()
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedHexText());
}

void HexView::contentsEdited()
{
    layout_->setByteCount(store_->size());
    updateScrollBars();
    updateModified();
    ensureCursorVisible();
    viewport()->update();
    emit cursorPositionChanged(cursor_);
}

void HexView::updateModified()
{
    const bool modified = store_->undoDepth() > 0 && store_->size() > 0;
    if (modified == modified_)
        return;
    modified_ = modified;
    emit modifiedChanged(modified);
}

void HexView::updateMetrics()
{
    glyphs_->setFont(font());
    const QFontMetricsF metrics(font());
    layout_->setCellSize(metrics.horizontalAdvance(u'0'), static_cast<int>(std::ceil(metrics.height())));
    updateScrollBars();
    viewport()->update();
}

void HexView::updateScrollBars()
{
    const int rows = visibleRowCount();
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, std::max(0, rowCount() - rows));
    vertical->setPageStep(rows);
    vertical->setSingleStep(1);
    QScrollBar* horizontal = horizontalScrollBar();
    const int width = viewport()->width();
    horizontal->setRange(0, std::max(0, static_cast<int>(std::ceil(layout_->contentWidth())) - width));
    horizontal->setPageStep(width);
    horizontal->setSingleStep(std::max(1, static_cast<int>(layout_->cellWidth())));
}

void HexView::ensureCursorVisible()
{
    QScrollBar* vertical = verticalScrollBar();
    const int row = static_cast<int>(cursor_ / HexLayout::BytesPerRow);
    const int rows = visibleRowCount();
    if (row < vertical->value())
        vertical->setValue(row);
    else if (row >= vertical->value() + rows)
        vertical->setValue(row - rows + 1);
}

bool HexView::event(QEvent* event)
{
    // Tab switches between the fields instead of moving the focus on; Ctrl+Tab
    // still reaches the tab widget around the view.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void HexView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    painter.fillRect(dirty, palette().color(QPalette::Base));

    const int xShift = horizontalScrollBar()->value();
    painter.translate(-xShift, 0);
    HexPainter rows(painter, *layout_, *glyphs_, palette());
    rows.paintOffsetBackground(viewport()->height());

    const int top = firstVisibleRow();
    const int rowHeight = layout_->rowHeight();
    const int ruler = layout_->rulerHeight();
    const int firstDirty = std::max(0, (dirty.top() - ruler) / rowHeight);
    const int lastDirty = std::max(0, (dirty.bottom() - ruler) / rowHeight) + 1;
    const int first = std::min(top + firstDirty, rowCount());
    const int last = std::min(top + lastDirty, rowCount());

    const uint32_t firstByte = static_cast<uint32_t>(first) * HexLayout::BytesPerRow;
    const uint32_t available = std::min<uint64_t>(uint64_t(last - first) * HexLayout::BytesPerRow,
                                                  store_->size() - std::min(firstByte, store_->size()));
    std::vector<uint8_t> bytes(available);
    std::unique_ptr<bool[]> marks(new bool[available]);
    store_->read(firstByte, available, bytes.data(), marks.get());
    rows.paintRows({top, first, last, bytes.data(), marks.get(), available, selectionStart(), selectionEnd()},
                   cursor_ / HexLayout::BytesPerRow);
    rows.paintCaret({cursor_, nibble_, field_ == Field::Text, insertMode_, hasFocus()}, top, visibleRowCount() + 1);
    if (layout_->isRulerVisible())
        rows.paintRuler(xShift + viewport()->width());

    if (hasFocus()) {
        painter.resetTransform();
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = viewport()->rect();
        option.backgroundColor = palette().color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void HexView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void HexView::keyPressEvent(QKeyEvent* event)
{
    if (!keys_->handle(event))
        QAbstractScrollArea::keyPressEvent(event);
}

void HexView::moveCursorTo(QPoint point, bool extendSelection)
{
    const HexLayout::Hit hit = layout_->hitTest(QPointF(point.x() + horizontalScrollBar()->value(), point.y()),
                                                firstVisibleRow());
    if (hit.area != HexLayout::Area::Offset)
        field_ = hit.area == HexLayout::Area::Text ? Field::Text : Field::Hex;
    setCursorPosition(hit.position, extendSelection);
    if (!extendSelection && hit.area == HexLayout::Area::Hex && cursor_ == hit.position)
        nibble_ = hit.nibble;
}

void HexView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    moveCursorTo(event->position().toPoint(), event->modifiers() & Qt::ShiftModifier);
    pressPosition_ = cursor_;
}

void HexView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return QAbstractScrollArea::mouseMoveEvent(event);
    const QPoint point = event->position().toPoint();
    const HexLayout::Hit hit = layout_->hitTest(QPointF(point.x() + horizontalScrollBar()->value(), point.y()),
                                                firstVisibleRow());
    // Dragging selects whole bytes, the pressed one included either way.
    const uint32_t size = store_->size();
    if (hit.position >= pressPosition_) {
        anchor_ = std::min(pressPosition_, size);
        setCursorPosition(hit.position + 1, true);
    } else {
        anchor_ = std::min(pressPosition_ + 1, size);
        setCursorPosition(hit.position, true);
    }
}

void HexView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void HexView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void HexView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateMetrics();
}

void HexView::scrollContentsBy(int, int)
{
    viewport()->update();
}
