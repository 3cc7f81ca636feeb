#include "production/SeatHost.h"

#include <chrono>
#include <ctime>
#include <thread>

SeatHost::Snapshot SeatHost::snapshot() const
{
    const std::lock_guard lock(mutex_);
    return shown_;
}

void SeatHost::setStateText(const std::string& text)
{
    const std::lock_guard lock(mutex_);
    shown_.state = text;
}

void SeatHost::showProgress(uint32_t maximum)
{
    const std::lock_guard lock(mutex_);
    shown_.maximum = maximum;
    shown_.position = 0;
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
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string SeatHost::longTimeText() const
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

int64_t SeatHost::nowMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
