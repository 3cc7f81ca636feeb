#pragma once

#include "model/ProtocolLog.h"
#include "model/SimClock.h"
#include "model/SimDevice.h"
#include "model/Transcript.h"
#include "model/UpgradeHandover.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>

// The whole simulated world: the programmers and any further devices on the
// bus, the boot loader, the clock and transcript. Front ends translate library
// calls into calls on it. Transfer results follow libusb-0.1: a byte count, or
// a negative errno value.
//
// Threads: every caller holds world() shared, except reset and addDevice,
// which want it exclusive. Each device has its own mutex, taken by the
// transfers and by the device's own controls, so programmers on different
// threads never wait for one another. Hot-plug notifications are counted
// under those locks and delivered by deliverNotifications() once the caller
// has let go of them, so a callback may call back into the library.
class Simulator {
public:
    static constexpr int kNoDevice = -19;   // -ENODEV
    static constexpr int kTimedOut = -110;  // -ETIMEDOUT
    static constexpr int kBadEndpoint = -2;  // -ENOENT: usbfs knows no such endpoint
    // Room for a gang of programmers and the odd look-alike; the slots never
    // move, so a transfer may read its device while another one arrives.
    static constexpr size_t kMaxDevices = 64;
    // Device kind of the first programmer and of a gang's further ones.
    static constexpr int kProgrammer = 0;

    using HotplugCallback = void (*)(void* context);

    Simulator();

    std::shared_mutex& world() { return world_; }

    // Back to one plugged programmer with an empty socket. A scenario load
    // keeps the hot-plug callback: it is the host's wiring, not the scene.
    void reset(bool keepCallback = false);
    void setHotplugCallback(HotplugCallback callback, void* context);
    void deliverNotifications();

    // Counts resets: handles from before one are stale.
    uint32_t epoch() const { return epoch_; }
    SimClock& clock() { return clock_; }
    ProtocolLog& log() { return log_; }
    Transcript& transcript() { return transcript_; }
    Bootloader& bootloader() { return handover_.bootloader(); }
    // The first programmer: the one that goes through the boot loader.
    Programmer& programmer() { return *device(0).programmer; }

    size_t deviceCount() const { return deviceCount_.load(std::memory_order_acquire); }
    SimDevice& device(size_t index) { return *devices_[index]; }
    // Returns the new device's index, or -1 for an unknown kind or a full bus.
    int addDevice(int kind);
    // Device index of programmer `number` (1 = the first on the bus), or -1.
    int programmerIndex(int number) const;

    void setPlugged(size_t index, bool plugged);
    bool isPlugged(size_t index) const;
    // The first programmer's cable and faults.
    void setPlugged(bool plugged) { setPlugged(0, plugged); }
    bool isPlugged() const { return isPlugged(0); }
    FaultPlan& faults() { return device(0).faults; }
    bool inBootloader();
    uint32_t bootloaderGeneration() const { return handover_.generation(); }

    // Runs what simulated time has made due. updateBus: the boot loader's
    // arrival. updateDevice (the caller holds the device's mutex): its
    // feeder's steps. update: both, for every device.
    void updateBus();
    void updateDevice(SimDevice& device);
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
    std::unique_ptr<SimDevice> makeDevice(int kind);
    bool checkPresentForTransfer(size_t index, int endpoint, int direction, uint32_t length);
    void leaveBus(SimDevice& device);
    void leaveForUpgrade();
    void notify() { pendingNotifications_.fetch_add(1); }

    std::shared_mutex world_;
    SimClock clock_;
    ProtocolLog log_;
    Transcript transcript_;
    std::array<std::unique_ptr<SimDevice>, kMaxDevices> devices_;
    std::atomic<size_t> deviceCount_{0};
    UpgradeHandover handover_{clock_, log_, transcript_};
    uint32_t epoch_ = 0;
    std::mutex callbackMutex_;
    HotplugCallback callback_ = nullptr;
    void* callbackContext_ = nullptr;
    std::atomic<uint32_t> pendingNotifications_{0};
};
