#include "production/ui/TileScrollArea.h"

#include <QResizeEvent>
#include <QScrollBar>

QSize TileScrollArea::sizeHint() const
{
    const QWidget* content = widget();
    // Measured as if the scroll bar were there: room enough never calls it up.
    const int width =
        viewport()->width() - (verticalScrollBar()->isVisible() ? 0 : verticalScrollBar()->sizeHint().width());
    const int height = content->hasHeightForWidth() && width > 0 ? content->heightForWidth(width)
                                                                 : content->sizeHint().height();
    return QSize(content->sizeHint().width(), height + 2 * frameWidth());
}

// The tiles' height follows their width: a new width asks the view again.
void TileScrollArea::resizeEvent(QResizeEvent* event)
{
    const bool newWidth = event->size().width() != event->oldSize().width();
    QScrollArea::resizeEvent(event);
    if (newWidth)
        updateGeometry();
}
