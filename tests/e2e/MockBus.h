#pragma once

#include "model/Simulator.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;

class UsbfsNode;
class HidrawNode;

// A umockdev test bed that shows the simulator's programmer model to the
// system libraries as the kernel would: each programmer on the bus as a
// usbfs node (/dev/bus/usb/001/NNN) with its sysfs device, the boot loader
// as a hidraw node under a hid, a USB interface and a USB device. Ioctls,
// reads and writes on the nodes are answered from the model by handlers that
// run on umockdev's worker thread; the model is shared with the test under
// one lock.
//
// The test bed follows the model when pump() runs: a programmer that left
// the bus (unplugged, or gone into its boot loader) loses its node with a
// "remove" uevent, and whatever arrived gets its node and an "add" uevent.
class MockBus {
public:
    MockBus();
    ~MockBus();
    MockBus(const MockBus&) = delete;
    MockBus& operator=(const MockBus&) = delete;

    // Runs `body` on the model under the lock.
    template <typename Body>
    auto withModel(Body&& body)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return body(simulator_);
    }

    // Brings the test bed in line with the model.
    void pump();

    // Device nodes present now, e.g. "/dev/bus/usb/001/002" or "/dev/hidraw0".
    std::vector<std::string> nodes() const;
    // The requests the handlers answered, in order: usbfs ioctls by name
    // ("SUBMITURB"), hidraw ioctls ("HIDIOCGRDESCSIZE"), "hidraw read" and
    // "hidraw write". With BELCOR_E2E_TRACE set they are printed as they come.
    std::vector<std::string> requests() const;

private:
    friend class UsbfsNode;
    friend class HidrawNode;

    struct Attached {
        std::string syspath;
        std::string devnode;
        uint32_t generation = 0;
        std::vector<std::string> extraSyspaths;  // children removed with it
        std::string hidrawNode;
    };

    void plugProgrammer(size_t index);
    void plugBootloader();
    void unplug(Attached& attached);
    void noteRequest(const char* name);

    mutable std::mutex mutex_;
    Simulator simulator_;
    UMockdevTestbed* testbed_ = nullptr;
    std::map<size_t, Attached> programmers_;
    std::optional<Attached> bootloader_;
    std::vector<std::unique_ptr<UsbfsNode>> usbfsNodes_;
    std::vector<std::unique_ptr<HidrawNode>> hidrawNodes_;
    int nextDevnum_ = 2;
    int nextHidraw_ = 0;
    std::vector<std::string> requests_;
};
