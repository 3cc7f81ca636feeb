#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <cstdint>
#include <memory>

class ByteStore;
class GlyphTable;
class HexLayout;
class KeyController;

// The scrolling, editable hex-and-text view of one byte buffer. It holds its
// own copy of the bytes; edits are kept as change records, so even a 64 MiB
// view is loaded with one copy and never copied again.
class HexView : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum class Field { Hex, Text };

    explicit HexView(QWidget* parent = nullptr);
    ~HexView() override;

    // Contents. load() copies; it clears the modified flag, change marks and undo history.
    void load(const uint8_t* data, uint32_t count);
    // True while edits since the last load or clear are in force (undoing them
    // all clears it) and the view holds at least one byte.
    bool isModified() const;
    void clearModified();
    uint32_t byteCount() const;
    // Copies only bytes the view holds; destination bytes past the end are left as they were.
    void copyOut(uint8_t* destination, uint32_t first, uint32_t count) const;
    uint8_t byteAt(uint32_t index) const;
    bool isByteChanged(uint32_t index) const;

    // Presentation. Group sizes that do not divide a row of 16 are ignored.
    void setBytesPerGroup(int bytes);
    int bytesPerGroup() const;
    void setRulerVisible(bool visible);
    bool isRulerVisible() const;
    void setOffsetPrefix(const QString& prefix);
    QString offsetPrefix() const;
    QString offsetText(uint32_t offset) const;
    int firstVisibleRow() const;
    int visibleRowCount() const;

    // Caret and selection. The selection is the half-open range between the
    // anchor and the caret.
    uint32_t cursorPosition() const;
    int cursorNibble() const;
    void setCursorPosition(uint32_t position, bool extendSelection = false);
    Field activeField() const;
    void setActiveField(Field field);
    bool hasSelection() const;
    uint32_t selectionStart() const;
    uint32_t selectionEnd() const;
    QString selectedHexText() const;
    // Selects [first, first + count) with the caret at its end, scrolled into view.
    void select(uint32_t first, uint32_t count);

    // Editing at the caret, as the keyboard does it. Overwrite mode never
    // changes the byte count: typing past the last byte and removing are ignored.
    bool isInsertMode() const;
    void typeHexDigit(int value);
    void typeCharacter(uint8_t byte);
    void removeForward();
    void removeBackward();
    bool canUndo() const;
    bool canRedo() const;

public slots:
    void setInsertMode(bool insert);
    void undo();
    void redo();
    void copy();

signals:
    void modifiedChanged(bool modified);
    void cursorPositionChanged(uint32_t position);
    void insertModeChanged(bool insert);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void contentsEdited();
    void updateModified();
    void updateMetrics();
    void updateScrollBars();
    void ensureCursorVisible();
    // The last position navigation may take the caret to: past the last byte
    // only in insert mode. Typing the last byte, and a selection, may still
    // leave the caret there in overwrite mode, where further typing is ignored.
    uint32_t cursorLimit() const;
    int rowCount() const;
    void moveCursorTo(QPoint point, bool extendSelection);

    std::unique_ptr<ByteStore> store_;
    std::unique_ptr<HexLayout> layout_;
    std::unique_ptr<GlyphTable> glyphs_;
    std::unique_ptr<KeyController> keys_;
    uint32_t cursor_ = 0;
    uint32_t anchor_ = 0;
    uint32_t pressPosition_ = 0;
    int nibble_ = 0;
    Field field_ = Field::Hex;
    bool insertMode_ = false;
    bool modified_ = false;
};
