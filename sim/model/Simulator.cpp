#include "model/Simulator.h"

#include "belcor_sim.h"

#include <algorithm>

namespace {
std::u16string widen(const char* text)
{
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::string serialOf(size_t position)
{
    const std::string digits = std::to_string(position);
    return "BU2SIM" + std::string(7 - std::min<size_t>(digits.size(), 7), '0') + digits;
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
    handover_.reset();
    for (size_t index = 0; index < deviceCount(); ++index)
        devices_[index].reset();
    deviceCount_.store(0, std::memory_order_release);
    devices_[0] = makeDevice(kProgrammer);
    deviceCount_.store(1, std::memory_order_release);
    pendingNotifications_ = 0;
    if (!keepCallback)
        setHotplugCallback(nullptr, nullptr);
}

void Simulator::setHotplugCallback(HotplugCallback callback, void* context)
{
    const std::lock_guard lock(callbackMutex_);
    callback_ = callback;
    callbackContext_ = context;
}

void Simulator::deliverNotifications()
{
    for (uint32_t count = pendingNotifications_.exchange(0); count > 0; --count) {
        HotplugCallback callback = nullptr;
        void* context = nullptr;
        {
            const std::lock_guard lock(callbackMutex_);
            callback = callback_;
            context = callbackContext_;
        }
        if (callback)
            callback(context);
    }
}

std::unique_ptr<SimDevice> Simulator::makeDevice(int kind)
{
    auto device = std::make_unique<SimDevice>();
    device->manufacturer = widen(BELCOR_SIM_MANUFACTURER);
    device->product = widen(BELCOR_SIM_PRODUCT);
    device->isProgrammer = kind == kProgrammer || kind == BELCOR_SIM_SECOND_PROGRAMMER;
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
    device->programmer = std::make_unique<Programmer>(clock_, log_, device->faults, bigEndianFields);
    // Serial numbers follow the bus order: the n-th device is BU2SIM000000n.
    device->programmer->versions().serial = serialOf(deviceCount() + 1);
    return device;
}

int Simulator::addDevice(int kind)
{
    if (kind < kProgrammer || kind > BELCOR_SIM_CJK_PRODUCT || deviceCount() == kMaxDevices)
        return -1;
    const size_t index = deviceCount();
    devices_[index] = makeDevice(kind);
    deviceCount_.store(index + 1, std::memory_order_release);
    notify();
    return int(index);
}

int Simulator::programmerIndex(int number) const
{
    int seen = 0;
    for (size_t index = 0; index < deviceCount(); ++index) {
        if (devices_[index]->isProgrammer && ++seen == number)
            return int(index);
    }
    return -1;
}

void Simulator::leaveBus(SimDevice& device)
{
    if (!device.present.exchange(false))
        return;
    ++device.generation;
}

void Simulator::setPlugged(size_t index, bool plugged)
{
    SimDevice& device = *devices_[index];
    const std::lock_guard deviceLock(device.mutex);
    if (plugged == device.plugged.exchange(plugged))
        return;
    if (plugged) {
        device.present = true;
    } else {
        leaveBus(device);
        if (index == 0)
            handover_.powerLost();
        device.programmer->clearUpgradeRequest();
    }
    notify();
}

bool Simulator::isPlugged(size_t index) const
{
    return index < deviceCount() && devices_[index]->plugged;
}

bool Simulator::inBootloader()
{
    updateBus();
    return handover_.inBootloader();
}

void Simulator::updateBus()
{
    if (handover_.update())
        notify();
}

void Simulator::updateDevice(SimDevice& device)
{
    // Every transfer comes through here; the clock is read only for a feeder.
    if (device.feeder.isEnabled())
        device.feeder.update(clock_.nowMs(), *device.programmer, device.faults);
}

void Simulator::update()
{
    updateBus();
    for (size_t index = 0; index < deviceCount(); ++index) {
        SimDevice& device = *devices_[index];
        const std::lock_guard lock(device.mutex);
        updateDevice(device);
    }
}

void Simulator::leaveForUpgrade()
{
    programmer().clearUpgradeRequest();
    leaveBus(*devices_[0]);
    handover_.begin();
    notify();
}

void Simulator::noteOpen(size_t index)
{
    ++devices_[index]->opens;
    transcript_.record(BELCOR_SIM_EVENT_OPEN, 0, 0, 0, 0, nullptr, 0);
}

void Simulator::noteClose(size_t index)
{
    transcript_.record(BELCOR_SIM_EVENT_CLOSE, 0, 0, 0, 0, nullptr, 0);
    // A host that closes without reading the EnterUpgrade reply still sees
    // the programmer go.
    SimDevice& device = *devices_[index];
    const std::lock_guard lock(device.mutex);
    if (index == 0 && device.present && device.programmer->upgradeRequested())
        leaveForUpgrade();
}

bool Simulator::checkPresentForTransfer(size_t index, int endpoint, int kind, uint32_t length)
{
    updateBus();
    SimDevice& device = *devices_[index];
    updateDevice(device);
    if (!device.present)
        return false;
    if (device.faults.takeUnplug()) {
        transcript_.record(kind, endpoint, length, kNoDevice, device.programmer->pointer(), nullptr, 0);
        device.plugged = false;
        leaveBus(device);
        notify();
        return false;
    }
    return true;
}

int Simulator::bulkWrite(size_t index, int endpoint, const uint8_t* data, int length)
{
    SimDevice& device = *devices_[index];
    const std::lock_guard lock(device.mutex);
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
    device.throttle.pace(uint32_t(length));
    return length;
}

int Simulator::bulkRead(size_t index, int endpoint, uint8_t* data, int length)
{
    SimDevice& device = *devices_[index];
    const std::lock_guard lock(device.mutex);
    Programmer& programmer = *device.programmer;
    const int kind = programmer.hasPendingReply() ? BELCOR_SIM_EVENT_REPLY : BELCOR_SIM_EVENT_DATA_IN;
    if (!checkPresentForTransfer(index, endpoint, kind, uint32_t(std::max(length, 0))))
        return kNoDevice;
    if (length < 0 || endpoint != device.replyEndpoint) {
        log_.record("bulk read of " + std::to_string(length) + " bytes from endpoint " + std::to_string(endpoint));
        return kBadEndpoint;
    }
    const uint32_t address = programmer.pointer();
    if (device.faults.takeLostReply()) {
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
        device.throttle.pace(uint32_t(length));
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
    const std::optional<UpgradeHandover::Completion> completion = handover_.write(report, length);
    if (!completion)
        return int(length);
    // The boot loader leaves the bus; the programmer returns with the image's version.
    notify();
    SimDevice& device = *devices_[0];
    {
        const std::lock_guard lock(device.mutex);
        if (completion->firmwareVersion)
            device.programmer->versions().firmware = *completion->firmwareVersion;
    }
    if (device.plugged)
        device.present = true;
    notify();
    return int(length);
}

int Simulator::hidRead(uint8_t* report, size_t length)
{
    if (!inBootloader())
        return -1;
    return handover_.read(report, length);
}
