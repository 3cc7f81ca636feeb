#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "core/OperationHost.h"

// An OperationHost for tests: records every call, answers questions from a
// script and never really waits. Each sleep moves the simulator's clock on by
// the same time, so erase polls and batch pauses run instantly yet see time
// pass; nowMs() moves with it.
//
// All records are public members; a test reads them directly, e.g.
//   EXPECT_EQ(host.state(), "Connected");
//   EXPECT_EQ(host.log.front(), "Read Complete! (10:00:00)");
class RecordingHost : public OperationHost {
public:
    // One call to a progress method, in call order.
    struct ProgressCall {
        enum Kind { Show, Set, Hide } kind;
        uint32_t value;  // maximum for Show, position for Set, 0 for Hide
        bool operator==(const ProgressCall&) const = default;
    };

    // Panel texts in the order they were set; state() is the latest.
    std::vector<std::string> stateTexts;
    std::vector<std::string> elapsedTexts;
    std::string state() const { return stateTexts.empty() ? std::string() : stateTexts.back(); }

    std::vector<ProgressCall> progressCalls;
    int pumpCount = 0;

    std::vector<std::string> errorBoxes;
    std::vector<std::string> informationBoxes;
    std::vector<std::string> messageBoxes;
    // Questions asked, and the answers to give: taken from the front of
    // `answers`, then `defaultAnswer` once the script has run out.
    std::vector<std::string> questions;
    std::deque<bool> answers;
    bool defaultAnswer = false;

    // The log pane, newest line first, as insertLogLine leaves it.
    std::vector<std::string> log;

    int beepCount = 0;
    std::vector<uint32_t> sleeps;
    uint32_t totalSleptMs() const;

    // What longTimeText() answers; tests change it to let "time" pass.
    std::string timeText = "10:00:00";
    // What nowMs() answers; every sleep adds to it.
    int64_t clockMs = 0;

    // View notifications.
    int chipSelectionChanges = 0;
    std::vector<uint32_t> flashBufferChanges;
    std::vector<uint32_t> eepromBufferChanges;
    std::vector<SocketPicture> socketPictures;

    // The FLASH view's own copy of the buffer and its modified flag.
    std::vector<uint8_t> flashView;
    bool flashModified = false;

    void setStateText(const std::string& text) override;
    void setElapsedText(const std::string& text) override;
    void showProgress(uint32_t maximum) override;
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
    void flashBufferChanged(uint32_t count) override;
    void eepromBufferChanged(uint32_t count) override;
    void showSocketPicture(SocketPicture picture) override;
    bool flashViewModified() const override;
    uint32_t flashViewByteCount() const override;
    void copyFlashViewOut(uint8_t* destination, uint32_t count) const override;
    void clearFlashViewModified() override;
};
