#pragma once

#include <QScrollArea>

// The production view's tiles, scrolled. It asks for the whole height of its
// tiles at its width, so that the view gives them all the room it can spare
// and scrolls only what it cannot.
class TileScrollArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
};
