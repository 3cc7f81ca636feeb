#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "core/OperationHost.h"
#include "production/SeatStep.h"

// The host of one programmer in a gang run. It runs on that programmer's
// thread and keeps what a front end shows of it (state, progress, the last
// error) for other threads to read through snapshot(); it asks nothing (a
// question is answered No) and really sleeps.
class SeatHost : public OperationHost {
public:
    struct Snapshot {
        std::string state;
        SeatStep step = SeatStep::Other;
        uint32_t position = 0;
        uint32_t maximum = 0;
        uint32_t allowanceTickMs = 0;  // 0: the progress counts work, not time
        std::string lastError;
    };

    Snapshot snapshot() const;

    void setStateText(const std::string& text) override;
    void setState(Msg state, const std::string& text) override;
    void setElapsedText(const std::string&) override {}
    void showProgress(uint32_t maximum) override;
    void showAllowance(uint32_t ticks, uint32_t tickMs) override;
    void setProgress(uint32_t position) override;
    void hideProgress() override;
    void pumpEvents() override {}
    void errorBox(const std::string& text) override;
    void informationBox(const std::string&) override {}
    bool question(const std::string&) override { return false; }
    void insertLogLine(const std::string& line) override;
    std::string firstLogLine() const override;
    void beep() override {}
    void sleepMs(uint32_t milliseconds) override;
    std::string longTimeText() const override;
    int64_t nowMs() const override;

private:
    mutable std::mutex mutex_;
    Snapshot shown_;
    std::string firstLogLine_;
};
