#include "app/PanelStatusBar.h"

#include <QPainter>
#include <qdrawutil.h>

PanelStatusBar::PanelStatusBar(const std::array<int, PanelCount>& widths, QWidget* parent)
    : QStatusBar(parent), widths_(widths)
{
    setSizeGripEnabled(false);
}

void PanelStatusBar::setPanelText(int panel, const QString& text)
{
    if (texts_.at(panel) == text)
        return;
    texts_.at(panel) = text;
    update(panelRect(panel));
}

QString PanelStatusBar::panelText(int panel) const
{
    return texts_.at(panel);
}

QRect PanelStatusBar::panelRect(int panel) const
{
    int left = 0;
    for (int i = 0; i < panel; ++i)
        left += widths_.at(i);
    return QRect(left, 0, widths_.at(panel), height());
}

void PanelStatusBar::setOwnerDrawnPanel(int panel, DrawPanel draw)
{
    ownerDrawnPanel_ = panel;
    draw_ = std::move(draw);
}

void PanelStatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    for (int panel = 0; panel < PanelCount; ++panel) {
        const QRect frame = panelRect(panel).adjusted(0, 1, -2, -1);
        qDrawShadePanel(&painter, frame, palette(), true, 1);
        const QRect inside = frame.adjusted(2, 1, -2, -1);
        if (panel == ownerDrawnPanel_ && draw_) {
            painter.save();
            draw_(painter, panel, inside);
            painter.restore();
        } else {
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(inside, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, texts_.at(panel));
        }
    }
}
