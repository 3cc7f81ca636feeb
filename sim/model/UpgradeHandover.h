#pragma once

#include "model/Bootloader.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

class ProtocolLog;
class SimClock;
class Transcript;

// The first programmer's trip through the boot loader: after EnterUpgrade it
// leaves the bus, the boot loader arrives a moment later and takes the image
// by HID reports, and once the image is complete the boot loader goes and the
// programmer may come back. The bus side (the programmer's presence, hot-plug
// notifications) stays with the simulator; this class keeps the boot loader
// and where the trip stands, under its own lock, as HID calls and transfers
// come in on different threads.
class UpgradeHandover {
public:
    static constexpr uint32_t kBootloaderDelayMs = 300;

    // What a completed image hands back: the firmware version it carries, if
    // it names one.
    struct Completion {
        std::optional<std::string> firmwareVersion;
    };

    UpgradeHandover(SimClock& clock, ProtocolLog& log, Transcript& transcript);

    // No upgrade under way, the boot loader as new.
    void reset();
    Bootloader& bootloader() { return bootloader_; }
    // Counts the boot loader's arrivals and departures: a HID handle opened
    // before one is stale.
    uint32_t generation() const { return generation_; }

    // The programmer has left the bus for the boot loader.
    void begin();
    // Brings the boot loader onto the bus once the programmer's reboot is
    // over; true when it arrived just now.
    bool update();
    bool inBootloader() const { return state_ == State::InBootloader; }
    // The cable was pulled: the programmer starts afresh in its firmware.
    void powerLost();

    // A report to the boot loader (the caller checked it is there). Returns
    // the completion once the report finished the image; the boot loader has
    // then left the bus.
    std::optional<Completion> write(const uint8_t* report, size_t length);
    // The boot loader's next reply; 0 when none is waiting.
    int read(uint8_t* report, size_t length);

private:
    enum class State { None, Rebooting, InBootloader };

    SimClock& clock_;
    ProtocolLog& log_;
    Transcript& transcript_;
    std::mutex mutex_;
    Bootloader bootloader_;
    std::atomic<State> state_{State::None};
    uint64_t dueMs_ = 0;
    std::atomic<uint32_t> generation_{0};
};
