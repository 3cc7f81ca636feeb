#include "cli/TerminalHost.h"

#include <algorithm>

#include "core/MessageCatalogue.h"
#include "core/SystemClock.h"

TerminalHost::TerminalHost(std::FILE* out, std::FILE* err, ProgressDisplay::Style progressStyle)
    : out_(out), err_(err), progress_(err, progressStyle)
{
}

TerminalHost::~TerminalHost()
{
    progress_.stop();
}

void TerminalHost::printLine(const std::string& line)
{
    progress_.stop();
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

void TerminalHost::printError(const std::string& text)
{
    progress_.stop();
    // Both streams may be one terminal; what came before must show first.
    std::fflush(out_);
    std::fprintf(err_, "error: %s\n", text.c_str());
    std::fflush(err_);
}

void TerminalHost::setFigure(const std::string&, const nlohmann::json&) {}

void TerminalHost::appendFigure(const std::string&, const nlohmann::json&) {}

void TerminalHost::setStateText(const std::string& text)
{
    stateText_ = text;
}

// The core says by its state, not by its words, that no programmer answers:
// after a session it could not begin, and after one that lost its programmer.
void TerminalHost::setState(Msg state, const std::string& text)
{
    programmerLost_ = programmerLost_ || state == Msg::NotConnected;
    setStateText(text);
}

void TerminalHost::setElapsedText(const std::string&)
{
    ++timedOperations_;
}

void TerminalHost::showProgress(uint32_t maximum)
{
    progress_.start(stateText_, maximum, true, nowMs());
}

// Counted in status polls, not bytes: no rate to show.
void TerminalHost::showAllowance(uint32_t ticks, uint32_t)
{
    progress_.start(stateText_, ticks, false, nowMs());
}

void TerminalHost::setProgress(uint32_t position)
{
    progress_.update(position, nowMs());
}

void TerminalHost::hideProgress()
{
    progress_.finish(nowMs());
}

// No window to keep alive; Ctrl-C reaches batch mode through its signal.
void TerminalHost::pumpEvents() {}

void TerminalHost::errorBox(const std::string& text)
{
    ++errorCount_;
    printError(text);
}

void TerminalHost::printNote(const std::string& text)
{
    progress_.stop();
    std::fflush(out_);
    for (const std::string& line : NoteLines(text))
        std::fprintf(err_, "%s\n", line.c_str());
    std::fflush(err_);
}

std::vector<std::string> TerminalHost::NoteLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        if (text.find_first_not_of(" \t\r", start) < end)
            lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

void TerminalHost::informationBox(const std::string& text)
{
    printNote(text);
}

// The window's wording asks a person: only what it states before it asks
// ("File already exists.") is shown, as a note. A command whose question was
// declined says so in its own words, naming the flag that answers yes.
bool TerminalHost::question(const std::string& text)
{
    if (!answer_)
        ++declinedQuestions_;
    if (const size_t end = text.rfind(". "); end != std::string::npos)
        printNote(text.substr(0, end + 1));
    return answer_;
}

void TerminalHost::insertLogLine(const std::string& line)
{
    firstLogLine_ = line;
    printNote(line);
}

std::string TerminalHost::firstLogLine() const
{
    return firstLogLine_;
}

// A bell after every operation would only ring through scripts and logs.
void TerminalHost::beep() {}

void TerminalHost::sleepMs(uint32_t milliseconds)
{
    SystemClock::sleepMs(milliseconds);
}

std::string TerminalHost::longTimeText() const
{
    return SystemClock::longTimeText();
}

int64_t TerminalHost::nowMs() const
{
    return SystemClock::nowMs();
}
