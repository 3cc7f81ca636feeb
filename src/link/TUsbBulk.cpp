#include "link/TUsbBulk.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <thread>

#include "link/Libusb0.h"

namespace {

bool traceEnabled = false;

// libusb-0.1 keeps its bus and device lists in globals that usb_find_busses
// and usb_find_devices rebuild: one thread at a time may search them.
std::mutex& discoveryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string positionOf(const usb_bus* bus, const struct usb_device* device)
{
    return std::string(bus->dirname) + "/" + device->filename;
}

// One candidate's strings, as last read.
struct KnownDevice {
    std::string position;
    std::string serial;
    std::string manufacturer;
    std::string product;
};

// The candidates' strings, for links aimed at one programmer: reading them
// means opening every candidate, which a gang's socket queries would
// otherwise do for every open of every programmer. Guarded by the discovery
// lock.
struct Directory {
    int vendorId = -1;
    int productId = -1;
    // Read since the library last reported a device that came or went.
    bool current = false;
    // Every candidate's strings could be read; else a target not found is
    // looked for again.
    bool complete = true;
    std::vector<KnownDevice> devices;
};

Directory& directory()
{
    static Directory known;
    return known;
}

// Rebuilds the library's lists, holding the discovery lock; a device that came
// or went makes the directory stale.
void refreshBus()
{
    Libusb0::load();
    const int busChanges = Libusb0::call<&LibraryTable::usb_find_busses>();
    const int deviceChanges = Libusb0::call<&LibraryTable::usb_find_devices>();
    if (busChanges != 0 || deviceChanges != 0)
        directory().current = false;
}

// Walks the devices with these ids in the library's lists, until `visit`
// returns false; the caller holds the discovery lock.
template <typename Visit>
void walkCandidates(int vendorId, int productId, Visit&& visit)
{
    for (usb_bus* bus = Libusb0::call<&LibraryTable::usb_get_busses>(); bus != nullptr; bus = bus->next) {
        for (struct usb_device* device = bus->devices; device != nullptr; device = device->next) {
            if (device->descriptor.idVendor == vendorId && device->descriptor.idProduct == productId &&
                !visit(bus, device))
                return;
        }
    }
}

// Rebuilds the lists and walks them, holding the discovery lock.
template <typename Visit>
void visitCandidates(int vendorId, int productId, Visit&& visit)
{
    const std::lock_guard lock(discoveryMutex());
    refreshBus();
    walkCandidates(vendorId, productId, std::forward<Visit>(visit));
}

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void trace(const char* format, ...)
{
    if (!traceEnabled)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
}

const char* libraryError()
{
    const char* text = Libusb0::call<&LibraryTable::usb_strerror>();
    return text != nullptr ? text : "";
}

// The interface of the first alternate setting of the first interface of the
// first configuration, or -1 when the library reports no such thing.
int firstInterfaceNumber(const struct usb_device* device)
{
    const usb_config_descriptor* config = device->config;
    if (config == nullptr || config->bNumInterfaces == 0 || config->interface == nullptr)
        return -1;
    const usb_interface& interface = config->interface[0];
    if (interface.num_altsetting < 1 || interface.altsetting == nullptr)
        return -1;
    return interface.altsetting[0].bInterfaceNumber;
}

void realSleep(uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

TUsbBulk::Candidate candidateOf(const struct usb_device* device)
{
    return {device->descriptor.iSerialNumber, device->descriptor.iManufacturer, device->descriptor.iProduct,
            firstInterfaceNumber(device)};
}

// The directory for these ids, read again when a device came or went since,
// or when the ids differ from the last reading's. The caller holds the
// discovery lock and has refreshed the lists.
const Directory& currentDirectory(int vendorId, int productId)
{
    Directory& known = directory();
    if (known.current && known.vendorId == vendorId && known.productId == productId)
        return known;
    Directory fresh;
    fresh.vendorId = vendorId;
    fresh.productId = productId;
    fresh.current = true;
    TUsbBulk reader;
    walkCandidates(vendorId, productId, [&](usb_bus* bus, struct usb_device* device) {
        usb_dev_handle* handle = Libusb0::call<&LibraryTable::usb_open>(device);
        std::array<char, 256> text{};
        const auto read = [&](int index, std::string& into) {
            if (reader.usbGetStringAscii(handle, index, TUsbBulk::EnglishLanguageId, text.data(), int(text.size())) <
                0)
                return false;
            into = text.data();
            return true;
        };
        KnownDevice entry{positionOf(bus, device), {}, {}, {}};
        const bool readable = handle != nullptr && read(device->descriptor.iSerialNumber, entry.serial) &&
                              read(device->descriptor.iManufacturer, entry.manufacturer) &&
                              read(device->descriptor.iProduct, entry.product);
        if (handle != nullptr)
            Libusb0::call<&LibraryTable::usb_close>(handle);
        if (readable)
            fresh.devices.push_back(std::move(entry));
        fresh.complete = fresh.complete && readable;
        return true;
    });
    known = std::move(fresh);
    return known;
}

}  // namespace

TUsbBulk::TUsbBulk() : sleep_(realSleep) {}

TUsbBulk::~TUsbBulk()
{
    USB_bulk_close();
}

void TUsbBulk::setSleep(SleepFunction sleep)
{
    sleep_ = sleep ? std::move(sleep) : SleepFunction(realSleep);
}

void TUsbBulk::setTraceEnabled(bool enabled)
{
    traceEnabled = enabled;
}

int TUsbBulk::USB_transmit(uint8_t direction, uint8_t request, const uint8_t* valueAndIndex, uint8_t* data,
                           int size)
{
    if (handle_ == nullptr)
        return -1;
    const int requestType = (direction != 0 ? USB_ENDPOINT_IN : USB_ENDPOINT_OUT) | USB_TYPE_VENDOR;
    const int value = valueAndIndex[0] + 256 * valueAndIndex[1];
    const int index = valueAndIndex[2] + 256 * valueAndIndex[3];
    const int result = Libusb0::call<&LibraryTable::usb_control_msg>(
        handle_, requestType, int(request), value, index, reinterpret_cast<char*>(data), size, VendorTimeoutMs);
    return result < 0 ? -1 : result;
}

int TUsbBulk::usbGetStringAscii(usb_dev_handle* handle, int index, int languageId, char* text, int capacity)
{
    std::array<uint8_t, 256> answer{};
    const int received = Libusb0::call<&LibraryTable::usb_control_msg>(
        handle, USB_ENDPOINT_IN, USB_REQ_GET_DESCRIPTOR, (USB_DT_STRING << 8) + index, languageId,
        reinterpret_cast<char*>(answer.data()), int(answer.size()), StringTimeoutMs);
    if (received < 0)
        return received;
    if (capacity <= 0)
        return 0;
    text[0] = '\0';
    if (answer[1] != USB_DT_STRING)
        return 0;

    // Unit 0 is the descriptor's length and type; the last stored character
    // must leave room for the terminator.
    const int units = std::min(received, int(answer[0])) / 2;
    int stored = 0;
    for (int unit = 1; unit < units && stored < capacity - 1; ++unit) {
        const uint8_t low = answer[2 * unit];
        const uint8_t high = answer[2 * unit + 1];
        text[stored++] = high == 0 ? char(low) : '?';
    }
    text[stored] = '\0';
    return stored;
}

void TUsbBulk::setTarget(std::string target)
{
    target_ = std::move(target);
}

bool TUsbBulk::targetsPosition() const
{
    return target_.find('/') != std::string::npos;
}

std::vector<TUsbBulk::Port> TUsbBulk::findPorts(int vendorId, std::string_view manufacturer, int productId,
                                                std::string_view product)
{
    std::vector<Port> ports;
    TUsbBulk probe;
    visitCandidates(vendorId, productId, [&](usb_bus* bus, struct usb_device* device) {
        usb_dev_handle* handle = Libusb0::call<&LibraryTable::usb_open>(device);
        if (handle == nullptr)
            return true;
        std::array<char, 256> text{};
        const auto reads = [&](int index, std::string_view expected) {
            return probe.usbGetStringAscii(handle, index, EnglishLanguageId, text.data(), int(text.size())) >= 0 &&
                   expected == text.data();
        };
        if (reads(device->descriptor.iManufacturer, manufacturer) && reads(device->descriptor.iProduct, product)) {
            Port port;
            port.position = positionOf(bus, device);
            if (probe.usbGetStringAscii(handle, device->descriptor.iSerialNumber, EnglishLanguageId, text.data(),
                                        int(text.size())) > 0)
                port.serial = text.data();
            const int interfaceNumber = firstInterfaceNumber(device);
            port.claimable = interfaceNumber >= 0 &&
                             Libusb0::call<&LibraryTable::usb_claim_interface>(handle, interfaceNumber) >= 0;
            if (port.claimable)
                Libusb0::call<&LibraryTable::usb_release_interface>(handle, interfaceNumber);
            ports.push_back(std::move(port));
        }
        Libusb0::call<&LibraryTable::usb_close>(handle);
        return true;
    });
    return ports;
}

std::vector<TUsbBulk::Port> TUsbBulk::knownPorts(int vendorId, std::string_view manufacturer, int productId,
                                                 std::string_view product)
{
    std::vector<Port> ports;
    const std::lock_guard lock(discoveryMutex());
    refreshBus();
    for (const KnownDevice& device : currentDirectory(vendorId, productId).devices) {
        if (device.manufacturer == manufacturer && device.product == product)
            ports.push_back(Port{device.position, device.serial, false});
    }
    return ports;
}

int TUsbBulk::prog_open(int vendorId, std::string_view manufacturer, int productId, std::string_view product)
{
    USB_bulk_close();
    deviceLost_ = false;
    if (target_.empty()) {
        visitCandidates(vendorId, productId, [&](usb_bus*, struct usb_device* device) {
            usb_dev_handle* handle = Libusb0::call<&LibraryTable::usb_open>(device);
            if (handle == nullptr) {
                trace("Warning: cannot open USB device: %s\n", libraryError());
                return true;
            }
            if (!tryCandidate(handle, candidateOf(device), manufacturer, product))
                return true;
            chooseLayout(product);
            return false;
        });
    } else {
        Candidate candidate;
        if (usb_dev_handle* handle = openTarget(vendorId, manufacturer, productId, product, candidate);
            handle != nullptr && tryCandidate(handle, candidate, manufacturer, product))
            chooseLayout(product);
    }
    if (handle_ == nullptr) {
        trace("Could not find USB device \"VADUruv\" with vid=0x%x pid=0x%x\n", unsigned(vendorId),
              unsigned(productId));
        return 0;
    }
    return 1;
}

usb_dev_handle* TUsbBulk::openTarget(int vendorId, std::string_view manufacturer, int productId,
                                     std::string_view product, Candidate& candidate)
{
    const std::lock_guard lock(discoveryMutex());
    refreshBus();
    std::string position = target_;
    if (!targetsPosition()) {
        const auto find = [&](const Directory& known) {
            for (const KnownDevice& device : known.devices) {
                if (device.serial == target_ && device.manufacturer == manufacturer && device.product == product)
                    return device.position;
            }
            return std::string();
        };
        position = find(currentDirectory(vendorId, productId));
        // A candidate whose strings could not be read may be the one.
        if (position.empty() && !directory().complete) {
            directory().current = false;
            position = find(currentDirectory(vendorId, productId));
        }
        if (position.empty())
            return nullptr;
    }
    usb_dev_handle* handle = nullptr;
    walkCandidates(vendorId, productId, [&](usb_bus* bus, struct usb_device* device) {
        if (positionOf(bus, device) != position)
            return true;
        candidate = candidateOf(device);
        handle = Libusb0::call<&LibraryTable::usb_open>(device);
        if (handle == nullptr)
            trace("Warning: cannot open USB device: %s\n", libraryError());
        return false;
    });
    return handle;
}

bool TUsbBulk::tryCandidate(usb_dev_handle* handle, const Candidate& candidate, std::string_view manufacturer,
                            std::string_view product)
{
    const auto reject = [handle] {
        Libusb0::call<&LibraryTable::usb_close>(handle);
        return false;
    };

    std::array<char, 256> text{};
    usbGetStringAscii(handle, candidate.serialIndex, EnglishLanguageId, text.data(), int(text.size()));
    if (!target_.empty() && !targetsPosition() && target_ != text.data()) {
        // The directory placed another device here: it is read again next time.
        const std::lock_guard lock(discoveryMutex());
        directory().current = false;
        return reject();
    }

    if (usbGetStringAscii(handle, candidate.manufacturerIndex, EnglishLanguageId, text.data(), int(text.size())) <
        0) {
        trace("warning: cannot query manufacturer for device: %s\n", libraryError());
        return reject();
    }
    if (manufacturer != text.data())
        return reject();

    if (usbGetStringAscii(handle, candidate.productIndex, EnglishLanguageId, text.data(), int(text.size())) < 0) {
        trace("warning: cannot query product for device: %s\n", libraryError());
        return reject();
    }
    if (product != text.data())
        return reject();

    if (candidate.interfaceNumber < 0)
        return reject();
    if (Libusb0::call<&LibraryTable::usb_claim_interface>(handle, candidate.interfaceNumber) < 0) {
        trace("error writing:\n%s\n", libraryError());
        return reject();
    }
    claimedInterface_ = candidate.interfaceNumber;
    handle_ = handle;
    return true;
}

void TUsbBulk::chooseLayout(std::string_view product)
{
    if (product == "WinUSB1") {
        replyEndpoint_ = 0x81;
        commandEndpoint_ = 0x01;
        dataEndpoint_ = 0x02;
    } else {
        replyEndpoint_ = 0x82;
        commandEndpoint_ = 0x02;
        dataEndpoint_ = 0x01;
    }
}

int TUsbBulk::USB_bulk_cmd(uint8_t* block, int length, int replyFlag)
{
    int result = LinkClosedResult;
    if (handle_ != nullptr) {
        result = Libusb0::call<&LibraryTable::usb_bulk_write>(handle_, commandEndpoint_,
                                                              reinterpret_cast<const char*>(block), length,
                                                              BulkTimeoutMs);
        noteFailure(result);
    }
    if (replyFlag == 0)
        return result;

    sleep_(ReplyPauseMs);
    if (handle_ != nullptr) {
        result = Libusb0::call<&LibraryTable::usb_bulk_read>(handle_, replyEndpoint_, reinterpret_cast<char*>(block),
                                                             length, BulkTimeoutMs);
        noteFailure(result);
    }
    return result;
}

int TUsbBulk::USB_bulk_write(const uint8_t* data, int length)
{
    if (handle_ == nullptr)
        return LinkClosedResult;
    const int result = Libusb0::call<&LibraryTable::usb_bulk_write>(
        handle_, dataEndpoint_, reinterpret_cast<const char*>(data), length, BulkTimeoutMs);
    noteFailure(result);
    return result;
}

int TUsbBulk::USB_bulk_read(uint8_t* data, int length)
{
    if (handle_ == nullptr)
        return LinkClosedResult;
    const int result = Libusb0::call<&LibraryTable::usb_bulk_read>(handle_, replyEndpoint_,
                                                                   reinterpret_cast<char*>(data), length,
                                                                   BulkTimeoutMs);
    noteFailure(result);
    return result;
}

void TUsbBulk::noteFailure(int result)
{
    if (result >= 0)
        return;
    trace("error writing:\n%s\n", libraryError());
    deviceLost_ = deviceLost_ || result == LinkClosedResult;
}

void TUsbBulk::USB_bulk_close()
{
    if (handle_ == nullptr)
        return;
    if (Libusb0::call<&LibraryTable::usb_release_interface>(handle_, claimedInterface_) < 0)
        trace("error writing:\n%s\n", libraryError());
    Libusb0::call<&LibraryTable::usb_close>(handle_);
    handle_ = nullptr;
}
