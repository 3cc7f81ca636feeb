#pragma once

#include <QStatusBar>
#include <QString>
#include <array>
#include <functional>

// A status bar of fixed-width panels with sunken frames, as the main window
// lays them out: each panel holds one line of text, and one panel may be drawn
// by the window itself.
class PanelStatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int PanelCount = 5;

    explicit PanelStatusBar(const std::array<int, PanelCount>& widths, QWidget* parent = nullptr);

    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    QRect panelRect(int panel) const;

    // The panel given here is painted by `draw` instead of the default
    // left-aligned text.
    using DrawPanel = std::function<void(QPainter& painter, int panel, const QRect& rect)>;
    void setOwnerDrawnPanel(int panel, DrawPanel draw);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<int, PanelCount> widths_;
    std::array<QString, PanelCount> texts_;
    int ownerDrawnPanel_ = -1;
    DrawPanel draw_;
};
