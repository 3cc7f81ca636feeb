#pragma once

#include <QLabel>

class HexView;

// The line under the FLASH view: the caret's offset, the selection's length
// and the value at the caret as 8, 16 and 32 bits in both byte orders (as
// far as the bytes reach).
class CursorReadout : public QLabel {
    Q_OBJECT
public:
    CursorReadout(HexView& view, QWidget* parent = nullptr);

    void ApplyLanguage(int language);
    void refresh();

private:
    HexView& view_;
    int language_ = 0;
};
