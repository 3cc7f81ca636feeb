#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/ProgressThrottle.h"
#include "cli/TerminalHost.h"

// The terminal host of --json. Nothing is printed as text: the command's
// stdout lines and figures are kept for the one object written at the end
// (JsonReport), and stderr carries one JSON object a line as things happen:
// progress (throttled, with the step the operation is in), log lines,
// errors and the questions the command line answered itself. Gang runs
// report from their seats' threads, hence the lock.
class JsonHost : public TerminalHost {
public:
    explicit JsonHost(std::FILE* events);

    void printLine(const std::string& line) override;
    void printError(const std::string& text) override;
    void printNote(const std::string& text) override;

    bool wantsFigures() const override { return true; }
    void setFigure(const std::string& key, const nlohmann::json& value) override;
    void appendFigure(const std::string& key, const nlohmann::json& item) override;

    void setStateText(const std::string& text) override;
    void setState(Msg state, const std::string& text) override;

    void showProgress(uint32_t maximum) override;
    void showAllowance(uint32_t ticks, uint32_t tickMs) override;
    void setProgress(uint32_t position) override;
    void hideProgress() override;

    bool question(const std::string& text) override;
    void verifyMismatch(uint32_t address) override;

    // The command has ended: a step that ended without a fault after it
    // tells so now.
    void finish();

    // What the report is made of.
    std::vector<std::string> lines() const;
    nlohmann::json figures() const;
    // The first error shown: where the fault was found.
    std::string firstError() const;
    // Where the verify found the chip first differ, when it did.
    std::optional<uint32_t> mismatch() const;

    // The progress step's word for a state of the operation routines.
    static const char* stepWord(Msg state);

private:
    void write(const nlohmann::json& event);
    // A log, error or question event.
    void emit(const nlohmann::json& event);
    void startStep(uint32_t total);
    void sendReached();
    void settleEndedStep(bool failed);

    mutable std::mutex mutex_;
    std::FILE* events_;
    std::vector<std::string> lines_;
    nlohmann::json figures_ = nlohmann::json::object();
    std::string firstError_;
    std::optional<uint32_t> mismatch_;
    std::string step_ = "other";
    ProgressThrottle throttle_;
    bool stepActive_ = false;
    uint32_t total_ = 0;
    uint32_t reached_ = 0;
    std::optional<uint32_t> sent_;  // the position last told of this step
    // A step's bar is also hidden when its programmer is lost, just before
    // the error: its "done = total" waits for the next event that is none.
    bool endPending_ = false;
    std::string endedStep_;
    uint32_t endedTotal_ = 0;
};
