#include "model/UpgradeHandover.h"

#include "model/SimClock.h"
#include "model/Transcript.h"

UpgradeHandover::UpgradeHandover(SimClock& clock, ProtocolLog& log, Transcript& transcript)
    : clock_(clock), log_(log), transcript_(transcript)
{
}

void UpgradeHandover::reset()
{
    bootloader_.reset();
    state_ = State::None;
    ++generation_;
}

void UpgradeHandover::begin()
{
    const std::lock_guard lock(mutex_);
    state_ = State::Rebooting;
    dueMs_ = clock_.nowMs() + kBootloaderDelayMs;
}

bool UpgradeHandover::update()
{
    if (state_ != State::Rebooting)
        return false;
    const std::lock_guard lock(mutex_);
    if (state_ != State::Rebooting || clock_.nowMs() < dueMs_)
        return false;
    state_ = State::InBootloader;
    bootloader_.start();
    return true;
}

void UpgradeHandover::powerLost()
{
    const std::lock_guard lock(mutex_);
    if (state_ == State::InBootloader)
        ++generation_;
    state_ = State::None;
}

std::optional<UpgradeHandover::Completion> UpgradeHandover::write(const uint8_t* report, size_t length)
{
    const std::lock_guard lock(mutex_);
    transcript_.record(BELCOR_SIM_EVENT_HID_OUT, 0, uint32_t(length), int(length), 0, report, length);
    if (bootloader_.receive(report, length, log_) != Bootloader::Outcome::ImageComplete)
        return std::nullopt;
    ++generation_;
    state_ = State::None;
    return Completion{bootloader_.carriedFirmwareVersion()};
}

int UpgradeHandover::read(uint8_t* report, size_t length)
{
    const std::lock_guard lock(mutex_);
    if (!bootloader_.hasReply())
        return 0;
    const int count = int(bootloader_.takeReply(report, length));
    transcript_.record(BELCOR_SIM_EVENT_HID_IN, 0, uint32_t(count), count, 0, report, size_t(count));
    return count;
}
