#pragma once

#include <string>
#include <vector>

#include "ops/OperationHost.h"

// Records what the catalogue shows the user and answers questions with a
// preset reply.
class ChipTestHost : public OperationHost {
public:
    std::vector<std::string> errors;
    std::vector<std::string> informations;
    std::vector<std::string> questions;
    bool answer = true;
    int selectionChanges = 0;
    int beeps = 0;

    void setStateText(const std::string&) override {}
    void setElapsedText(const std::string&) override {}
    void showProgress(uint32_t) override {}
    void setProgress(uint32_t) override {}
    void hideProgress() override {}
    void pumpEvents() override {}
    void errorBox(const std::string& text) override { errors.push_back(text); }
    void informationBox(const std::string& text) override { informations.push_back(text); }
    bool question(const std::string& text) override
    {
        questions.push_back(text);
        return answer;
    }
    void insertLogLine(const std::string&) override {}
    std::string firstLogLine() const override { return {}; }
    void beep() override { ++beeps; }
    void sleepMs(uint32_t) override {}
    std::string longTimeText() const override { return {}; }
    int64_t nowMs() const override { return 0; }
    void chipSelectionChanged() override { ++selectionChanges; }
    void flashBufferChanged(uint32_t) override {}
    void eepromBufferChanged(uint32_t) override {}
    void showSocketPicture(SocketPicture) override {}
    bool flashViewModified() const override { return false; }
    uint32_t flashViewByteCount() const override { return 0; }
    void copyFlashViewOut(uint8_t*, uint32_t) const override {}
    void clearFlashViewModified() override {}
};
