#pragma once

#include <usb.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Simulator;

// The libusb-0.1 view of the simulated bus: one usb_bus whose device list
// holds the devices present at the last usb_find_devices, with their
// descriptors in the library's own layouts. Device records live as long as
// the library, so a usb_device pointer a host kept never dangles.
class UsbBus {
public:
    static constexpr int kInterfaceNumber = 0;

    usb_bus* bus() { return &bus_; }
    // Relinks the device list; returns the count of arrivals and departures. A
    // device that left and came back since the last refresh (or a scene
    // loaded anew) counts as both, as a real bus numbers it anew.
    int refresh(Simulator& simulator);
    // Index of the simulated device behind a usb_device, or -1.
    int indexOf(const struct usb_device* device) const;
    struct usb_device* deviceAt(size_t index);

    // Answers a standard GET_DESCRIPTOR control request for device `index`;
    // returns the byte count, or a negative errno value.
    int describe(Simulator& simulator, size_t index, int value, int languageId, uint8_t* data, int size);

private:
    struct Record {
        struct usb_device device{};
        usb_config_descriptor config{};
        usb_interface interface{};
        usb_interface_descriptor altsetting{};
        usb_endpoint_descriptor endpoints[3]{};
        bool linked = false;
        uint32_t linkedEpoch = 0;
        uint32_t linkedGeneration = 0;
    };
    void describeRecord(Record& record, Simulator& simulator, size_t index);

    usb_bus bus_{};
    std::vector<std::unique_ptr<Record>> records_;
};
