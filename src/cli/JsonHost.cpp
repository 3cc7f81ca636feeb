#include "cli/JsonHost.h"

#include <algorithm>

#include "core/MessageCatalogue.h"

using nlohmann::json;

JsonHost::JsonHost(std::FILE* events) : TerminalHost(events, events, ProgressDisplay::Style::Lines), events_(events)
{
}

const char* JsonHost::stepWord(Msg state)
{
    switch (state) {
    case Msg::Reading:
    case Msg::UpdateReading:
        return "reading";
    case Msg::Erasing:
    case Msg::UpdateErasing:
        return "erasing";
    case Msg::Writing:
    case Msg::UpdateProgramming:
        return "programming";
    case Msg::Verifying:
    case Msg::UpdateVerifying:
        return "verifying";
    case Msg::BlankChecking:
        return "blank_check";
    case Msg::RemovingProtection:
        return "unprotecting";
    default:
        return "other";
    }
}

// Invalid UTF-8 (a chip name in another code page, a file name) is replaced
// rather than thrown on: the line must still be JSON.
void JsonHost::write(const json& event)
{
    const std::string text = event.dump(-1, ' ', false, json::error_handler_t::replace);
    std::fprintf(events_, "%s\n", text.c_str());
    std::fflush(events_);
}

// What a step reached comes before what is said meanwhile. Anything but an
// error after a step's bar was hidden means the step ended well; an error
// means it did not, and its end is not told.
void JsonHost::emit(const json& event)
{
    if (stepActive_ && total_ > 0)
        sendReached();
    settleEndedStep(event["event"] == "error");
    write(event);
}

void JsonHost::printLine(const std::string& line)
{
    const std::lock_guard lock(mutex_);
    lines_.push_back(line);
}

void JsonHost::printError(const std::string& text)
{
    const std::lock_guard lock(mutex_);
    if (firstError_.empty())
        firstError_ = text;
    emit({{"event", "error"}, {"text", text}});
}

// One event per line that says something, as the terminal shows them.
void JsonHost::printNote(const std::string& text)
{
    const std::lock_guard lock(mutex_);
    for (const std::string& line : NoteLines(text))
        emit({{"event", "log"}, {"text", line}});
}

void JsonHost::setFigure(const std::string& key, const json& value)
{
    const std::lock_guard lock(mutex_);
    figures_[key] = value;
}

void JsonHost::appendFigure(const std::string& key, const json& item)
{
    const std::lock_guard lock(mutex_);
    figures_[key].push_back(item);
}

void JsonHost::setStateText(const std::string& text)
{
    TerminalHost::setStateText(text);
    const std::lock_guard lock(mutex_);
    step_ = "other";
}

void JsonHost::setState(Msg state, const std::string& text)
{
    TerminalHost::setState(state, text);
    const std::lock_guard lock(mutex_);
    step_ = stepWord(state);
}

void JsonHost::startStep(uint32_t total)
{
    const std::lock_guard lock(mutex_);
    settleEndedStep(false);
    stepActive_ = true;
    total_ = total;
    reached_ = 0;
    sent_.reset();
    throttle_.restart();
}

void JsonHost::showProgress(uint32_t maximum)
{
    startStep(maximum);
    setProgress(0);
}

void JsonHost::showAllowance(uint32_t ticks, uint32_t)
{
    startStep(ticks);
    setProgress(0);
}

// As on the terminal, the count never moves back (a window resets its bar
// when a step ends), and an empty step says nothing until it has a size.
void JsonHost::setProgress(uint32_t position)
{
    const int64_t now = nowMs();
    const std::lock_guard lock(mutex_);
    if (!stepActive_ || total_ == 0 || position < reached_)
        return;
    reached_ = std::min(position, total_);
    if (throttle_.due(now))
        sendReached();
}

// The position reached is told before the step's end is known.
void JsonHost::hideProgress()
{
    const std::lock_guard lock(mutex_);
    if (stepActive_ && total_ > 0) {
        sendReached();
        endPending_ = true;
        endedStep_ = step_;
        endedTotal_ = total_;
    }
    stepActive_ = false;
}

void JsonHost::finish()
{
    const std::lock_guard lock(mutex_);
    if (stepActive_ && total_ > 0)
        sendReached();
    settleEndedStep(false);
}

// The throttle may have held the last position back.
void JsonHost::sendReached()
{
    if (sent_ == reached_)
        return;
    write({{"event", "progress"}, {"step", step_}, {"done", reached_}, {"total", total_}});
    sent_ = reached_;
}

void JsonHost::settleEndedStep(bool failed)
{
    if (endPending_ && !failed)
        write({{"event", "progress"}, {"step", endedStep_}, {"done", endedTotal_}, {"total", endedTotal_}});
    endPending_ = false;
}

bool JsonHost::question(const std::string& text)
{
    const bool answer = TerminalHost::question(text);
    const std::lock_guard lock(mutex_);
    emit({{"event", "question"}, {"text", text}, {"answer", answer}});
    return answer;
}

std::vector<std::string> JsonHost::lines() const
{
    const std::lock_guard lock(mutex_);
    return lines_;
}

json JsonHost::figures() const
{
    const std::lock_guard lock(mutex_);
    return figures_;
}

std::string JsonHost::firstError() const
{
    const std::lock_guard lock(mutex_);
    return firstError_;
}

void JsonHost::verifyMismatch(uint32_t address)
{
    const std::lock_guard lock(mutex_);
    if (!mismatch_)
        mismatch_ = address;
}

std::optional<uint32_t> JsonHost::mismatch() const
{
    const std::lock_guard lock(mutex_);
    return mismatch_;
}
