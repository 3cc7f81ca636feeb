#include "support/RecordingHost.h"

#include <algorithm>
#include <numeric>

#include "belcor_sim.h"

uint32_t RecordingHost::totalSleptMs() const
{
    return std::accumulate(sleeps.begin(), sleeps.end(), uint32_t(0));
}

void RecordingHost::setStateText(const std::string& text)
{
    stateTexts.push_back(text);
}

void RecordingHost::setElapsedText(const std::string& text)
{
    elapsedTexts.push_back(text);
}

void RecordingHost::showProgress(uint32_t maximum)
{
    progressCalls.push_back({ProgressCall::Show, maximum});
}

void RecordingHost::setProgress(uint32_t position)
{
    progressCalls.push_back({ProgressCall::Set, position});
}

void RecordingHost::hideProgress()
{
    progressCalls.push_back({ProgressCall::Hide, 0});
}

void RecordingHost::pumpEvents()
{
    ++pumpCount;
}

void RecordingHost::errorBox(const std::string& text)
{
    errorBoxes.push_back(text);
}

void RecordingHost::informationBox(const std::string& text)
{
    informationBoxes.push_back(text);
}

void RecordingHost::messageBox(const std::string& text)
{
    messageBoxes.push_back(text);
}

bool RecordingHost::question(const std::string& text)
{
    questions.push_back(text);
    if (answers.empty())
        return defaultAnswer;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingHost::insertLogLine(const std::string& line)
{
    log.insert(log.begin(), line);
}

std::string RecordingHost::firstLogLine() const
{
    return log.empty() ? std::string() : log.front();
}

void RecordingHost::beep()
{
    ++beepCount;
}

void RecordingHost::sleepMs(uint32_t milliseconds)
{
    sleeps.push_back(milliseconds);
    clockMs += milliseconds;
    belcor_sim_advance_ms(milliseconds);
}

std::string RecordingHost::longTimeText() const
{
    return timeText;
}

int64_t RecordingHost::nowMs() const
{
    return clockMs;
}

void RecordingHost::chipSelectionChanged()
{
    ++chipSelectionChanges;
}

void RecordingHost::flashBufferChanged(uint32_t count)
{
    flashBufferChanges.push_back(count);
}

void RecordingHost::eepromBufferChanged(uint32_t count)
{
    eepromBufferChanges.push_back(count);
}

void RecordingHost::showSocketPicture(SocketPicture picture)
{
    socketPictures.push_back(picture);
}

bool RecordingHost::flashViewModified() const
{
    return flashModified;
}

uint32_t RecordingHost::flashViewByteCount() const
{
    return uint32_t(flashView.size());
}

void RecordingHost::copyFlashViewOut(uint8_t* destination, uint32_t count) const
{
    std::copy_n(flashView.begin(), std::min<size_t>(count, flashView.size()), destination);
}

void RecordingHost::clearFlashViewModified()
{
    flashModified = false;
}
