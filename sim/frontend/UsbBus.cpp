#include "frontend/UsbBus.h"

#include "model/Simulator.h"

#include "belcor_sim.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
constexpr int kDescriptorDevice = 1, kDescriptorConfig = 2, kDescriptorString = 3;
constexpr uint8_t kManufacturerIndex = 1, kProductIndex = 2, kSerialIndex = 3;
constexpr uint16_t kEnglishUs = 0x0409;
constexpr int kPipeError = -32;  // -EPIPE: the device stalls an unknown request
constexpr uint16_t kBulkPacketSize = 64;
constexpr uint16_t kConfigTotalLength = USB_DT_CONFIG_SIZE + USB_DT_INTERFACE_SIZE + 3 * USB_DT_ENDPOINT_SIZE;

void put16(uint8_t* at, uint16_t value)
{
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}
}

void UsbBus::describeRecord(Record& record, Simulator& simulator, size_t index)
{
    const SimDevice& sim = simulator.device(index);
    struct usb_device& device = record.device;
    device.bus = &bus_;
    std::snprintf(device.filename, sizeof device.filename, "%03zu", index + 1);
    device.devnum = uint8_t(index + 1);
    usb_device_descriptor& descriptor = device.descriptor;
    descriptor.bLength = USB_DT_DEVICE_SIZE;
    descriptor.bDescriptorType = USB_DT_DEVICE;
    descriptor.bcdUSB = 0x0200;
    descriptor.bDeviceClass = USB_CLASS_PER_INTERFACE;
    descriptor.bMaxPacketSize0 = 64;
    descriptor.idVendor = BELCOR_SIM_VENDOR_ID;
    descriptor.idProduct = BELCOR_SIM_PRODUCT_ID;
    descriptor.bcdDevice = 0x0100;
    descriptor.iManufacturer = kManufacturerIndex;
    descriptor.iProduct = kProductIndex;
    descriptor.iSerialNumber = kSerialIndex;
    descriptor.bNumConfigurations = 1;

    const int addresses[3] = {sim.replyEndpoint, sim.commandEndpoint, sim.dataEndpoint};
    for (int i = 0; i < 3; ++i) {
        usb_endpoint_descriptor& endpoint = record.endpoints[i];
        endpoint.bLength = USB_DT_ENDPOINT_SIZE;
        endpoint.bDescriptorType = USB_DT_ENDPOINT;
        endpoint.bEndpointAddress = uint8_t(addresses[i]);
        endpoint.bmAttributes = USB_ENDPOINT_TYPE_BULK;
        endpoint.wMaxPacketSize = kBulkPacketSize;
    }
    usb_interface_descriptor& altsetting = record.altsetting;
    altsetting.bLength = USB_DT_INTERFACE_SIZE;
    altsetting.bDescriptorType = USB_DT_INTERFACE;
    altsetting.bInterfaceNumber = kInterfaceNumber;
    altsetting.bNumEndpoints = 3;
    altsetting.bInterfaceClass = USB_CLASS_VENDOR_SPEC;
    altsetting.endpoint = record.endpoints;
    record.interface.altsetting = &altsetting;
    record.interface.num_altsetting = 1;
    usb_config_descriptor& config = record.config;
    config.bLength = USB_DT_CONFIG_SIZE;
    config.bDescriptorType = USB_DT_CONFIG;
    config.wTotalLength = kConfigTotalLength;
    config.bNumInterfaces = 1;
    config.bConfigurationValue = 1;
    config.bmAttributes = 0x80;
    config.MaxPower = 50;
    config.interface = &record.interface;
    device.config = &config;
}

int UsbBus::refresh(Simulator& simulator)
{
    std::snprintf(bus_.dirname, sizeof bus_.dirname, "001");
    while (records_.size() < simulator.deviceCount())
        records_.push_back(std::make_unique<Record>());
    int changes = 0;
    struct usb_device* previous = nullptr;
    bus_.devices = nullptr;
    for (size_t index = 0; index < records_.size(); ++index) {
        Record& record = *records_[index];
        const bool present = index < simulator.deviceCount() && simulator.device(index).present;
        const uint32_t generation = present ? simulator.device(index).generation.load() : 0;
        const bool renewed =
            present && record.linked && (record.linkedEpoch != simulator.epoch() || record.linkedGeneration != generation);
        changes += present != record.linked ? 1 : renewed ? 2 : 0;
        record.linked = present;
        record.linkedEpoch = simulator.epoch();
        record.linkedGeneration = generation;
        if (!present)
            continue;
        describeRecord(record, simulator, index);
        record.device.prev = previous;
        record.device.next = nullptr;
        if (previous)
            previous->next = &record.device;
        else
            bus_.devices = &record.device;
        previous = &record.device;
    }
    return changes;
}

int UsbBus::indexOf(const struct usb_device* device) const
{
    for (size_t index = 0; index < records_.size(); ++index) {
        if (&records_[index]->device == device)
            return int(index);
    }
    return -1;
}

struct usb_device* UsbBus::deviceAt(size_t index)
{
    return index < records_.size() ? &records_[index]->device : nullptr;
}

int UsbBus::describe(Simulator& simulator, size_t index, int value, int languageId, uint8_t* data, int size)
{
    const int type = value >> 8, descriptorIndex = value & 0xFF;
    uint8_t answer[256] = {};
    int length = 0;
    if (type == kDescriptorDevice) {
        length = USB_DT_DEVICE_SIZE;
        std::memcpy(answer, &records_[index]->device.descriptor, size_t(length));
    } else if (type == kDescriptorConfig) {
        const Record& record = *records_[index];
        std::memcpy(answer, &record.config, USB_DT_CONFIG_SIZE);
        put16(answer + 2, kConfigTotalLength);
        std::memcpy(answer + USB_DT_CONFIG_SIZE, &record.altsetting, USB_DT_INTERFACE_SIZE);
        for (int i = 0; i < 3; ++i)
            std::memcpy(answer + USB_DT_CONFIG_SIZE + USB_DT_INTERFACE_SIZE + i * USB_DT_ENDPOINT_SIZE,
                        &record.endpoints[i], USB_DT_ENDPOINT_SIZE);
        length = kConfigTotalLength;
    } else if (type == kDescriptorString && descriptorIndex == 0) {
        length = 4;
        answer[1] = kDescriptorString;
        put16(answer + 2, kEnglishUs);
    } else if (type == kDescriptorString && languageId == kEnglishUs && descriptorIndex <= kSerialIndex) {
        const SimDevice& device = simulator.device(index);
        const std::string& serial = device.programmer->versions().serial;
        const std::u16string text = descriptorIndex == kManufacturerIndex ? device.manufacturer
            : descriptorIndex == kProductIndex                           ? device.product
                                                                         : std::u16string(serial.begin(), serial.end());
        // A string descriptor is at most 255 bytes: its length is one byte.
        const size_t units = std::min<size_t>(text.size(), 126);
        for (size_t i = 0; i < units; ++i)
            put16(answer + 2 + 2 * i, uint16_t(text[i]));
        length = int(2 + 2 * units);
        answer[1] = kDescriptorString;
    } else {
        return kPipeError;
    }
    if (type == kDescriptorString)
        answer[0] = uint8_t(length);
    const int count = std::min(size, length);
    std::memcpy(data, answer, size_t(count));
    return count;
}
