#pragma once

#include <cstdint>
#include <string>

#include "core/OperationHost.h"

// A host that passes everything on to another one, which it does not own:
// hosts that change a few calls derive from it, and a thread's host that
// belongs to a front end is lent this way. The FLASH view's edits are not
// handed over: what runs through a borrowed host programs its own image.
class ForwardingHost : public OperationHost {
public:
    explicit ForwardingHost(OperationHost& inner) : inner_(inner) {}

    void setStateText(const std::string& text) override { inner_.setStateText(text); }
    void setState(Msg state, const std::string& text) override { inner_.setState(state, text); }
    void setElapsedText(const std::string& text) override { inner_.setElapsedText(text); }
    void showProgress(uint32_t maximum) override { inner_.showProgress(maximum); }
    void showAllowance(uint32_t ticks, uint32_t tickMs) override { inner_.showAllowance(ticks, tickMs); }
    void setProgress(uint32_t position) override { inner_.setProgress(position); }
    void hideProgress() override { inner_.hideProgress(); }
    void pumpEvents() override { inner_.pumpEvents(); }
    void errorBox(const std::string& text) override { inner_.errorBox(text); }
    void informationBox(const std::string& text) override { inner_.informationBox(text); }
    bool question(const std::string& text) override { return inner_.question(text); }
    void insertLogLine(const std::string& line) override { inner_.insertLogLine(line); }
    std::string firstLogLine() const override { return inner_.firstLogLine(); }
    bool wantsFailureCause() const override { return inner_.wantsFailureCause(); }
    void failureCause(const std::string& text) override { inner_.failureCause(text); }
    void verifyMismatch(uint32_t address) override { inner_.verifyMismatch(address); }
    void beep() override { inner_.beep(); }
    void sleepMs(uint32_t milliseconds) override { inner_.sleepMs(milliseconds); }
    std::string longTimeText() const override { return inner_.longTimeText(); }
    int64_t nowMs() const override { return inner_.nowMs(); }
    void chipSelectionChanged() override { inner_.chipSelectionChanged(); }
    void flashBufferChanged(uint32_t count) override { inner_.flashBufferChanged(count); }
    void eepromBufferChanged(uint32_t count) override { inner_.eepromBufferChanged(count); }
    void showSocketPicture(SocketPicture picture) override { inner_.showSocketPicture(picture); }

private:
    OperationHost& inner_;
};
