#pragma once

#include <deque>
#include <string>
#include <vector>

#include "ops/OperationHost.h"

// Records what the buffer commands show and answers their questions from a
// script (Yes when the script is empty).
class BufferTestHost : public OperationHost {
public:
    std::vector<std::string> errors;
    std::vector<std::string> questions;
    std::deque<bool> answers;
    std::vector<std::string> logLines;  // newest first
    std::vector<uint32_t> flashShown;
    std::vector<uint32_t> eepromShown;
    int beeps = 0;

    void setStateText(const std::string&) override {}
    void setElapsedText(const std::string&) override {}
    void showProgress(uint32_t) override {}
    void setProgress(uint32_t) override {}
    void hideProgress() override {}
    void pumpEvents() override {}
    void errorBox(const std::string& text) override { errors.push_back(text); }
    void informationBox(const std::string&) override {}
    bool question(const std::string& text) override
    {
        questions.push_back(text);
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void insertLogLine(const std::string& line) override { logLines.insert(logLines.begin(), line); }
    std::string firstLogLine() const override { return logLines.empty() ? std::string() : logLines.front(); }
    void beep() override { ++beeps; }
    void sleepMs(uint32_t) override {}
    std::string longTimeText() const override { return "14:03:27"; }
    int64_t nowMs() const override { return 0; }
    void chipSelectionChanged() override {}
    void flashBufferChanged(uint32_t count) override { flashShown.push_back(count); }
    void eepromBufferChanged(uint32_t count) override { eepromShown.push_back(count); }
    void showSocketPicture(SocketPicture) override {}
    bool flashViewModified() const override { return false; }
    uint32_t flashViewByteCount() const override { return 0; }
    void copyFlashViewOut(uint8_t*, uint32_t) const override {}
    void clearFlashViewModified() override {}
};
