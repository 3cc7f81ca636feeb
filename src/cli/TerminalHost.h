#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "cli/ProgressDisplay.h"
#include "core/OperationHost.h"

// The command line's side of OperationHost. Standard output carries only
// what a script wants: the command's results, the saved file and the summary.
// The window's log lines and information boxes go to stderr without their
// blank lines, as do errors ("error: ...") and progress; questions are never
// shown: they get the answer the command line implies (--yes, --force, or no),
// and a command whose question was declined says which flag answers it; waits
// really sleep. It also counts what happened, so that a command can tell
// success from failure: the core's routines report failures only through the
// host.
class TerminalHost : public OperationHost {
public:
    TerminalHost(std::FILE* out, std::FILE* err, ProgressDisplay::Style progressStyle);
    ~TerminalHost() override;

    // How the next questions are answered; "no" unless a command says otherwise.
    void setQuestionAnswer(bool yes) { answer_ = yes; }

    int errorCount() const { return errorCount_; }
    int declinedQuestions() const { return declinedQuestions_; }
    // Whether the programmer was missing or went away at any time: what a
    // failed command's exit status tells first.
    bool programmerLost() const { return programmerLost_; }
    // Detection tells of a missing programmer by its outcome, not by a state.
    void programmerMissing() { programmerLost_ = true; }
    // Operations that ran in a device session: each shows its elapsed time once.
    int timedOperations() const { return timedOperations_; }
    const std::string& stateText() const { return stateText_; }

    // A line of the command line's own, on stdout or as "error: ..." on stderr.
    virtual void printLine(const std::string& line);
    virtual void printError(const std::string& text);
    // A log line or information box: on stderr, blank lines left out.
    virtual void printNote(const std::string& text);
    // The lines of a note that say something.
    static std::vector<std::string> NoteLines(const std::string& text);

    // A figure of the command's result for --json (`key` in its object);
    // the terminal shows its results as lines only.
    virtual bool wantsFigures() const { return false; }
    virtual void setFigure(const std::string& key, const nlohmann::json& value);
    // An item added to the array of `key`.
    virtual void appendFigure(const std::string& key, const nlohmann::json& item);

    void setStateText(const std::string& text) override;
    void setState(Msg state, const std::string& text) override;
    void setElapsedText(const std::string& text) override;

    void showProgress(uint32_t maximum) override;
    void showAllowance(uint32_t ticks, uint32_t tickMs) override;
    void setProgress(uint32_t position) override;
    void hideProgress() override;

    void pumpEvents() override;

    void errorBox(const std::string& text) override;
    void informationBox(const std::string& text) override;
    bool question(const std::string& text) override;

    void insertLogLine(const std::string& line) override;
    std::string firstLogLine() const override;
    // A transcript names why a write failed, as far as the chip tells.
    bool wantsFailureCause() const override { return true; }

    void beep() override;
    void sleepMs(uint32_t milliseconds) override;
    std::string longTimeText() const override;
    int64_t nowMs() const override;

private:
    std::FILE* out_;
    std::FILE* err_;
    ProgressDisplay progress_;
    bool answer_ = false;
    int errorCount_ = 0;
    int declinedQuestions_ = 0;
    int timedOperations_ = 0;
    bool programmerLost_ = false;
    std::string stateText_;
    std::string firstLogLine_;
};
