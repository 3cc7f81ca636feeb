#pragma once

#include <string>

#include "core/OperationHost.h"

// The host a production run hands to the operation routines: everything goes
// on to the front end's host, but the failure text of each chip is kept for
// its log record, and error boxes can be held back when the production view
// shows them instead (a modal box per bad chip would stall the line). The
// FLASH view's edits are never taken over: a job programs its image only.
class ProductionHost : public OperationHost {
public:
    ProductionHost(OperationHost& inner, bool showErrorBoxes) : inner_(inner), showErrorBoxes_(showErrorBoxes) {}

    // The first error of the chip under way, and the question it was refused
    // by (answered No); both cleared for the next chip.
    const std::string& chipError() const { return chipError_; }
    const std::string& declinedQuestion() const { return declinedQuestion_; }
    void clearChipError()
    {
        chipError_.clear();
        declinedQuestion_.clear();
    }

    void setStateText(const std::string& text) override { inner_.setStateText(text); }
    void setState(Msg state, const std::string& text) override { inner_.setState(state, text); }
    void setElapsedText(const std::string& text) override { inner_.setElapsedText(text); }
    void showProgress(uint32_t maximum) override { inner_.showProgress(maximum); }
    void showAllowance(uint32_t ticks, uint32_t tickMs) override { inner_.showAllowance(ticks, tickMs); }
    void setProgress(uint32_t position) override { inner_.setProgress(position); }
    void hideProgress() override { inner_.hideProgress(); }
    void pumpEvents() override { inner_.pumpEvents(); }
    void errorBox(const std::string& text) override
    {
        if (chipError_.empty())
            chipError_ = text;
        if (showErrorBoxes_)
            inner_.errorBox(text);
    }
    void informationBox(const std::string& text) override { inner_.informationBox(text); }
    bool question(const std::string& text) override
    {
        const bool yes = inner_.question(text);
        if (!yes && declinedQuestion_.empty())
            declinedQuestion_ = text;
        return yes;
    }
    void insertLogLine(const std::string& line) override { inner_.insertLogLine(line); }
    // A cause belongs to the chip's record too, after the failure it explains.
    bool wantsFailureCause() const override { return true; }
    void failureCause(const std::string& text) override
    {
        chipError_ += (chipError_.empty() ? "" : " ") + text;
        inner_.failureCause(text);
    }
    std::string firstLogLine() const override { return inner_.firstLogLine(); }
    void beep() override { inner_.beep(); }
    void sleepMs(uint32_t milliseconds) override { inner_.sleepMs(milliseconds); }
    std::string longTimeText() const override { return inner_.longTimeText(); }
    int64_t nowMs() const override { return inner_.nowMs(); }
    void chipSelectionChanged() override { inner_.chipSelectionChanged(); }
    void flashBufferChanged(uint32_t count) override { inner_.flashBufferChanged(count); }
    void eepromBufferChanged(uint32_t count) override { inner_.eepromBufferChanged(count); }
    void showSocketPicture(SocketPicture picture) override { inner_.showSocketPicture(picture); }
    // Bytes typed into the window's view are not the job's image: the hooks
    // that take them over keep their do-nothing defaults here.

private:
    OperationHost& inner_;
    bool showErrorBoxes_;
    std::string chipError_;
    std::string declinedQuestion_;
};
