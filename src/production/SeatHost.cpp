#include "production/SeatHost.h"

#include "core/MessageCatalogue.h"
#include "core/SystemClock.h"

namespace {

SeatStep stepOf(Msg state)
{
    switch (state) {
    case Msg::NotConnected: return SeatStep::NotConnected;
    case Msg::Connected: return SeatStep::Connected;
    case Msg::Erasing: return SeatStep::Erasing;
    case Msg::BlankChecking: return SeatStep::BlankChecking;
    case Msg::Writing: return SeatStep::Programming;
    case Msg::Verifying: return SeatStep::Verifying;
    default: return SeatStep::Other;
    }
}

}  // namespace

SeatHost::Snapshot SeatHost::snapshot() const
{
    const std::lock_guard lock(mutex_);
    return shown_;
}

void SeatHost::setStateText(const std::string& text)
{
    const std::lock_guard lock(mutex_);
    shown_.state = text;
    shown_.step = SeatStep::Other;
}

void SeatHost::setState(Msg state, const std::string& text)
{
    const std::lock_guard lock(mutex_);
    shown_.state = text;
    shown_.step = stepOf(state);
}

void SeatHost::showProgress(uint32_t maximum)
{
    const std::lock_guard lock(mutex_);
    shown_.maximum = maximum;
    shown_.position = 0;
    shown_.allowanceTickMs = 0;
}

void SeatHost::showAllowance(uint32_t ticks, uint32_t tickMs)
{
    const std::lock_guard lock(mutex_);
    shown_.maximum = ticks;
    shown_.position = 0;
    shown_.allowanceTickMs = tickMs;
}

void SeatHost::setProgress(uint32_t position)
{
    const std::lock_guard lock(mutex_);
    shown_.position = position;
}

void SeatHost::hideProgress()
{
    const std::lock_guard lock(mutex_);
    shown_.position = 0;
    shown_.maximum = 0;
    shown_.allowanceTickMs = 0;
}

void SeatHost::errorBox(const std::string& text)
{
    const std::lock_guard lock(mutex_);
    shown_.lastError = text;
}

void SeatHost::insertLogLine(const std::string& line)
{
    const std::lock_guard lock(mutex_);
    firstLogLine_ = line;
}

std::string SeatHost::firstLogLine() const
{
    const std::lock_guard lock(mutex_);
    return firstLogLine_;
}

void SeatHost::sleepMs(uint32_t milliseconds)
{
    SystemClock::sleepMs(milliseconds);
}

std::string SeatHost::longTimeText() const
{
    return SystemClock::longTimeText();
}

int64_t SeatHost::nowMs() const
{
    return SystemClock::nowMs();
}
