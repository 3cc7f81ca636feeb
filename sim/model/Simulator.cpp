#include "model/Simulator.h"

#include "belcor_sim.h"

#include <algorithm>

namespace {
std::u16string widen(const char* text)
{
    return std::u16string(text, text + std::char_traits<char>::length(text));
}
}

Simulator::Simulator()
{
    reset();
}

void Simulator::reset(bool keepCallback)
{
    ++epoch_;
    clock_.reset();
    log_.clear();
    transcript_.clear();
    transcript_.setDataEnabled(true);
    faults_.clear();
    feeder_.reset();
    throttle_.setRate(0);
    bootloader_.reset();
    devices_.clear();
    devices_.push_back(makeDevice(0));
    plugged_ = true;
    upgrade_ = Upgrade::None;
    ++bootloaderGeneration_;
    if (!keepCallback)
        setHotplugCallback(nullptr, nullptr);
}

void Simulator::setHotplugCallback(HotplugCallback callback, void* context)
{
    callback_ = callback;
    callbackContext_ = context;
}

std::unique_ptr<SimDevice> Simulator::makeDevice(int kind)
{
    auto device = std::make_unique<SimDevice>();
    device->manufacturer = widen(BELCOR_SIM_MANUFACTURER);
    device->product = widen(BELCOR_SIM_PRODUCT);
    bool bigEndianFields = true;
    switch (kind) {
    case BELCOR_SIM_LOOKALIKE:
        device->manufacturer = u"www.other.example";
        break;
    case BELCOR_SIM_WINUSB1:
        device->product = u"WinUSB1";
        device->replyEndpoint = 0x81;
        device->commandEndpoint = 0x01;
        device->dataEndpoint = 0x02;
        bigEndianFields = false;
        break;
    case BELCOR_SIM_CJK_PRODUCT:
        // Looks like the programmer's name, but its last character is the
        // CJK ideograph U+4E2D, which an 8-bit reading turns into '?'.
        device->product = widen(BELCOR_SIM_PRODUCT);
        device->product.back() = u'\u4E2D';
        break;
    default:
        break;
    }
    device->programmer = std::make_unique<Programmer>(clock_, log_, faults_, bigEndianFields);
    device->programmer->versions().serial = "BU2SIM" + std::string(7 - std::to_string(devices_.size() + 1).size(), '0')
        + std::to_string(devices_.size() + 1);
    return device;
}

int Simulator::addDevice(int kind)
{
    if (kind < BELCOR_SIM_SECOND_PROGRAMMER || kind > BELCOR_SIM_CJK_PRODUCT)
        return -1;
    devices_.push_back(makeDevice(kind));
    notify();
    return int(devices_.size() - 1);
}

void Simulator::notify()
{
    if (callback_)
        callback_(callbackContext_);
}

void Simulator::leaveBus(SimDevice& device)
{
    if (!device.present)
        return;
    device.present = false;
    ++device.generation;
}

void Simulator::setPlugged(bool plugged)
{
    if (plugged == plugged_)
        return;
    plugged_ = plugged;
    SimDevice& programmer = *devices_.front();
    if (plugged) {
        programmer.present = true;
    } else {
        leaveBus(programmer);
        if (upgrade_ == Upgrade::InBootloader)
            ++bootloaderGeneration_;
        // Power is gone: the programmer starts afresh in its firmware.
        upgrade_ = Upgrade::None;
        programmer.programmer->clearUpgradeRequest();
    }
    notify();
}

bool Simulator::inBootloader()
{
    update();
    return upgrade_ == Upgrade::InBootloader;
}

void Simulator::update()
{
    if (upgrade_ != Upgrade::Rebooting && !feeder_.isEnabled())
        return;
    const uint64_t now = clock_.nowMs();
    if (upgrade_ == Upgrade::Rebooting && now >= bootloaderDueMs_) {
        upgrade_ = Upgrade::InBootloader;
        bootloader_.start();
        notify();
    }
    feeder_.update(now, programmer());
}

void Simulator::leaveForUpgrade()
{
    programmer().clearUpgradeRequest();
    leaveBus(*devices_.front());
    upgrade_ = Upgrade::Rebooting;
    bootloaderDueMs_ = clock_.nowMs() + kBootloaderDelayMs;
    notify();
}

void Simulator::finishUpgrade()
{
    ++bootloaderGeneration_;
    upgrade_ = Upgrade::None;
    notify();
    if (std::optional<std::string> version = bootloader_.carriedFirmwareVersion())
        programmer().versions().firmware = *version;
    devices_.front()->present = true;
    notify();
}

void Simulator::noteOpen(size_t index)
{
    devices_[index]->wasOpened = true;
    transcript_.record(BELCOR_SIM_EVENT_OPEN, 0, 0, 0, 0, nullptr, 0);
}

void Simulator::noteClose(size_t index)
{
    transcript_.record(BELCOR_SIM_EVENT_CLOSE, 0, 0, 0, 0, nullptr, 0);
    // A host that closes without reading the EnterUpgrade reply still sees
    // the programmer go.
    if (index == 0 && devices_.front()->present && programmer().upgradeRequested())
        leaveForUpgrade();
}

bool Simulator::checkPresentForTransfer(size_t index, int endpoint, int kind, uint32_t length)
{
    update();
    SimDevice& device = *devices_[index];
    if (!device.present)
        return false;
    if (index == 0 && faults_.takeUnplug()) {
        transcript_.record(kind, endpoint, length, kNoDevice, device.programmer->pointer(), nullptr, 0);
        plugged_ = false;
        leaveBus(device);
        notify();
        return false;
    }
    return true;
}

int Simulator::bulkWrite(size_t index, int endpoint, const uint8_t* data, int length)
{
    SimDevice& device = *devices_[index];
    const bool isCommand = endpoint == device.commandEndpoint;
    const int kind = isCommand ? BELCOR_SIM_EVENT_COMMAND : BELCOR_SIM_EVENT_DATA_OUT;
    if (!checkPresentForTransfer(index, endpoint, kind, uint32_t(std::max(length, 0))))
        return kNoDevice;
    if (length < 0 || (!isCommand && endpoint != device.dataEndpoint)) {
        log_.record("bulk write of " + std::to_string(length) + " bytes to endpoint " + std::to_string(endpoint));
        return kBadEndpoint;
    }
    Programmer& programmer = *device.programmer;
    if (isCommand) {
        programmer.receiveCommand(data, length);
        transcript_.record(kind, endpoint, uint32_t(length), length, 0, data, size_t(length));
        return length;
    }
    const uint32_t address = programmer.pointer();
    programmer.writeData(data, uint32_t(length));
    if (transcript_.recordsData())
        transcript_.record(kind, endpoint, uint32_t(length), length, address, data, size_t(length));
    throttle_.pace(uint32_t(length));
    return length;
}

int Simulator::bulkRead(size_t index, int endpoint, uint8_t* data, int length)
{
    SimDevice& device = *devices_[index];
    Programmer& programmer = *device.programmer;
    const int kind = programmer.hasPendingReply() ? BELCOR_SIM_EVENT_REPLY : BELCOR_SIM_EVENT_DATA_IN;
    if (!checkPresentForTransfer(index, endpoint, kind, uint32_t(std::max(length, 0))))
        return kNoDevice;
    if (length < 0 || endpoint != device.replyEndpoint) {
        log_.record("bulk read of " + std::to_string(length) + " bytes from endpoint " + std::to_string(endpoint));
        return kBadEndpoint;
    }
    const uint32_t address = programmer.pointer();
    if (faults_.takeLostReply()) {
        // The answer never comes: the reply is gone and the pointer stays,
        // as nothing left the programmer.
        programmer.discardReply();
        transcript_.record(kind, endpoint, uint32_t(length), kTimedOut, address, nullptr, 0);
    } else if (kind == BELCOR_SIM_EVENT_REPLY) {
        const int count = programmer.takeReply(data, length);
        transcript_.record(kind, endpoint, uint32_t(count), count, 0, data, size_t(count));
        if (index == 0 && programmer.upgradeRequested())
            leaveForUpgrade();
        return count;
    } else {
        programmer.readData(data, uint32_t(length));
        if (transcript_.recordsData())
            transcript_.record(kind, endpoint, uint32_t(length), length, address, data, size_t(length));
        throttle_.pace(uint32_t(length));
        return length;
    }
    if (index == 0 && programmer.upgradeRequested())
        leaveForUpgrade();
    return kTimedOut;
}

int Simulator::hidWrite(const uint8_t* report, size_t length)
{
    if (!inBootloader())
        return -1;
    transcript_.record(BELCOR_SIM_EVENT_HID_OUT, 0, uint32_t(length), int(length), 0, report, length);
    if (bootloader_.receive(report, length, log_) == Bootloader::Outcome::ImageComplete)
        finishUpgrade();
    return int(length);
}

int Simulator::hidRead(uint8_t* report, size_t length)
{
    if (!inBootloader())
        return -1;
    if (!bootloader_.hasReply())
        return 0;
    const int count = int(bootloader_.takeReply(report, length));
    transcript_.record(BELCOR_SIM_EVENT_HID_IN, 0, uint32_t(count), count, 0, report, size_t(count));
    return count;
}
