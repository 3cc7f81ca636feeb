#pragma once

#include <QElapsedTimer>

#include "core/OperationHost.h"

struct MainWindowDesign;
struct Workbench;
class QTimer;
class QWidget;

// The main window's side of OperationHost: the state and time panels, the
// progress bars, message boxes over the window, the log pane, and the chip
// group, details, hex views and picture refreshed from the model.
class WindowHost : public OperationHost {
public:
    WindowHost(QWidget* window, MainWindowDesign& ui, Workbench& workbench);

    void setStateText(const std::string& text) override;
    void setElapsedText(const std::string& text) override;

    void showProgress(uint32_t maximum) override;
    void showAllowance(uint32_t ticks, uint32_t tickMs) override;
    void setProgress(uint32_t position) override;
    void hideProgress() override;

    void pumpEvents() override;

    void errorBox(const std::string& text) override;
    void informationBox(const std::string& text) override;
    void messageBox(const std::string& text) override;
    bool question(const std::string& text) override;

    void insertLogLine(const std::string& line) override;
    std::string firstLogLine() const override;

    void beep() override;
    void sleepMs(uint32_t milliseconds) override;
    std::string longTimeText() const override;
    int64_t nowMs() const override;

    void chipSelectionChanged() override;
    // The Type, Manufacturer and Name lists as the catalogue holds them.
    void showChipLists();
    void flashBufferChanged(uint32_t count) override;
    void eepromBufferChanged(uint32_t count) override;

    void showSocketPicture(SocketPicture picture) override;

    bool flashViewModified() const override;
    uint32_t flashViewByteCount() const override;
    void copyFlashViewOut(uint8_t* destination, uint32_t count) const override;
    void clearFlashViewModified() override;

    // Pending events are handled at most this often while an operation runs,
    // so that the event loop does not slow a transfer of many small blocks.
    static constexpr int PumpIntervalMs = 10;

    // While the bars show, the time panel ticks this often, and once a rate
    // is known the bars read the time left.
    static constexpr int TickIntervalMs = 250;
    static constexpr int64_t RateAfterMs = 1000;

private:
    void showPendingProgress();
    void tick();
    void stopTicking();
    void showElapsed(const std::string& text);
    void showTimeLeft(const QString& text);

    QWidget* window_;
    MainWindowDesign& ui_;
    Workbench& workbench_;
    QElapsedTimer sincePump_;
    uint32_t pendingProgress_ = 0;
    uint32_t progressMaximum_ = 0;
    int64_t progressShownMs_ = 0;
    uint32_t allowanceTickMs_ = 0;  // 0: the bars count work, not time
    QTimer* ticker_;
};
