#pragma once

#include "model/Bootloader.h"
#include "model/FaultPlan.h"
#include "model/Feeder.h"
#include "model/ProtocolLog.h"
#include "model/SimClock.h"
#include "model/SimDevice.h"
#include "model/Throttle.h"
#include "model/Transcript.h"

#include <cstdint>
#include <memory>
#include <vector>

// The whole simulated world: the programmer and any further devices on the
// bus, the boot loader, the clock, faults, feeder and transcript. Front ends
// translate library calls into calls on it. Transfer results follow
// libusb-0.1: a byte count, or a negative errno value.
class Simulator {
public:
    static constexpr int kNoDevice = -19;   // -ENODEV
    static constexpr int kTimedOut = -110;  // -ETIMEDOUT
    static constexpr int kBadEndpoint = -2;  // -ENOENT: usbfs knows no such endpoint
    static constexpr uint32_t kBootloaderDelayMs = 300;

    using HotplugCallback = void (*)(void* context);

    Simulator();

    // Back to one plugged programmer with an empty socket. A scenario load
    // keeps the hot-plug callback: it is the host's wiring, not the scene.
    void reset(bool keepCallback = false);
    void setHotplugCallback(HotplugCallback callback, void* context);

    // Counts resets: handles from before one are stale.
    uint32_t epoch() const { return epoch_; }
    SimClock& clock() { return clock_; }
    ProtocolLog& log() { return log_; }
    Transcript& transcript() { return transcript_; }
    FaultPlan& faults() { return faults_; }
    Feeder& feeder() { return feeder_; }
    Throttle& throttle() { return throttle_; }
    Bootloader& bootloader() { return bootloader_; }
    Programmer& programmer() { return *devices_.front()->programmer; }

    size_t deviceCount() const { return devices_.size(); }
    SimDevice& device(size_t index) { return *devices_[index]; }
    // Returns the new device's index, or -1 for an unknown kind.
    int addDevice(int kind);

    void setPlugged(bool plugged);
    bool isPlugged() const { return plugged_; }
    bool inBootloader();
    uint32_t bootloaderGeneration() const { return bootloaderGeneration_; }

    // Runs what simulated time has made due: the boot loader's arrival and
    // the feeder's steps.
    void update();

    void noteOpen(size_t index);
    void noteClose(size_t index);
    int bulkWrite(size_t index, int endpoint, const uint8_t* data, int length);
    int bulkRead(size_t index, int endpoint, uint8_t* data, int length);

    // Reports to and from the boot loader; -1 when it is not on the bus,
    // 0 from a read when no report is waiting.
    int hidWrite(const uint8_t* report, size_t length);
    int hidRead(uint8_t* report, size_t length);

private:
    enum class Upgrade { None, Rebooting, InBootloader };

    std::unique_ptr<SimDevice> makeDevice(int kind);
    bool checkPresentForTransfer(size_t index, int endpoint, int direction, uint32_t length);
    void leaveBus(SimDevice& device);
    void leaveForUpgrade();
    void finishUpgrade();
    void notify();

    SimClock clock_;
    ProtocolLog log_;
    Transcript transcript_;
    FaultPlan faults_;
    Feeder feeder_;
    Throttle throttle_;
    Bootloader bootloader_;
    std::vector<std::unique_ptr<SimDevice>> devices_;
    bool plugged_ = true;
    Upgrade upgrade_ = Upgrade::None;
    uint64_t bootloaderDueMs_ = 0;
    uint32_t bootloaderGeneration_ = 0;
    uint32_t epoch_ = 0;
    HotplugCallback callback_ = nullptr;
    void* callbackContext_ = nullptr;
};
