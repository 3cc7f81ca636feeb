#pragma once

#include <QLabel>

class BufferSet;
class HexView;

// The line under the FLASH view: the file the buffer came from and the open
// job, then the caret's offset, the selection's length and the value at the
// caret as 8, 16 and 32 bits in both byte orders (as far as the bytes reach).
class CursorReadout : public QLabel {
    Q_OBJECT
public:
    CursorReadout(HexView& view, const BufferSet& buffers, QWidget* parent = nullptr);

    void ApplyLanguage(int language);
    // The open job's name, empty when none is open.
    void setJob(const QString& name, bool locked);
    void refresh();

private:
    QString sourceText() const;

    HexView& view_;
    const BufferSet& buffers_;
    int language_ = 0;
    QString job_;
    bool jobLocked_ = false;
};
