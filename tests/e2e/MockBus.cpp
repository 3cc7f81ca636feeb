#include "e2e/MockBus.h"

#include "e2e/UsbDescriptors.h"

#include <umockdev.h>

#include <linux/hidraw.h>
#include <linux/input.h>
#include <linux/usbdevice_fs.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <stdexcept>

namespace {

constexpr char kUsbRoot[] = "/devices/pci0000:00/0000:00:14.0/usb1";
constexpr int kUsbMajor = 189;
constexpr int kHidrawMajor = 241;
constexpr uint16_t kBootloaderVendor = 0x28E9;
constexpr uint16_t kBootloaderProduct = 0x028B;
constexpr char16_t kBootloaderManufacturer[] = u"GigaDevice";
constexpr char16_t kBootloaderName[] = u"GD32 USB IAP in FS Mode";
constexpr int kBootloaderPort = 8;
constexpr uint8_t kStandardDeviceIn = 0x80;
constexpr uint8_t kGetDescriptor = 6;

bool tracing()
{
    static const bool on = std::getenv("BELCOR_E2E_TRACE") != nullptr;
    return on;
}

std::string utf8(const std::u16string& text)
{
    std::string bytes;
    for (const char16_t unit : text) {
        if (unit < 0x80) {
            bytes.push_back(char(unit));
        } else if (unit < 0x800) {
            bytes.push_back(char(0xC0 | (unit >> 6)));
            bytes.push_back(char(0x80 | (unit & 0x3F)));
        } else {
            bytes.push_back(char(0xE0 | (unit >> 12)));
            bytes.push_back(char(0x80 | ((unit >> 6) & 0x3F)));
            bytes.push_back(char(0x80 | (unit & 0x3F)));
        }
    }
    return bytes;
}

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    return text;
}

// Resolved client memory, released when it goes out of scope.
struct Resolved {
    UMockdevIoctlData* data = nullptr;
    Resolved(UMockdevIoctlData* parent, size_t offset, size_t length)
    {
        GError* error = nullptr;
        data = umockdev_ioctl_data_resolve(parent, offset, length, &error);
        if (error) {
            std::fprintf(stderr, "e2e: cannot reach client memory: %s\n", error->message);
            g_error_free(error);
        }
    }
    ~Resolved()
    {
        if (data)
            g_object_unref(data);
    }
    Resolved(const Resolved&) = delete;
    Resolved& operator=(const Resolved&) = delete;
    explicit operator bool() const { return data != nullptr; }
    template <typename T>
    T* as() const { return reinterpret_cast<T*>(data->data); }
};

void complete(UMockdevIoctlClient* client, long result, int error = 0)
{
    umockdev_ioctl_client_complete(client, result, error);
}

// One device record in umockdev's text form.
std::string usbDeviceRecord(const std::string& devpath, int devnum, const UsbDescriptors::Identity& identity,
                            const std::u16string& manufacturer, const std::u16string& product, const std::string& serial)
{
    const std::vector<uint8_t> device = UsbDescriptors::device(identity);
    const std::vector<uint8_t> config = UsbDescriptors::configuration(identity);
    std::vector<uint8_t> descriptors = device;
    descriptors.insert(descriptors.end(), config.begin(), config.end());
    const int minor = devnum - 1;
    std::string record;
    record += "P: " + devpath + "\n";
    record += format("N: bus/usb/001/%03d=%s\n", devnum, UsbDescriptors::hex(descriptors).c_str());
    record += format("E: DEVNAME=/dev/bus/usb/001/%03d\n", devnum);
    record += "E: DEVTYPE=usb_device\nE: DRIVER=usb\nE: SUBSYSTEM=usb\n";
    record += format("E: PRODUCT=%x/%x/%x\n", identity.vendorId, identity.productId, identity.release);
    record += format("E: TYPE=0/0/0\nE: BUSNUM=001\nE: DEVNUM=%03d\n", devnum);
    record += format("E: MAJOR=%d\nE: MINOR=%d\n", kUsbMajor, minor);
    record += format("A: dev=%d:%d\n", kUsbMajor, minor);
    record += format("A: busnum=1\nA: devnum=%d\n", devnum);
    record += format("A: idVendor=%04x\nA: idProduct=%04x\nA: bcdDevice=%04x\n", identity.vendorId,
                     identity.productId, identity.release);
    record += "A: manufacturer=" + utf8(manufacturer) + "\n";
    record += "A: product=" + utf8(product) + "\n";
    record += "A: serial=" + serial + "\n";
    record += format("A: speed=12\nA: bNumConfigurations=1\nA: bConfigurationValue=1\nA: bDeviceClass=%02x\n",
                     identity.deviceClass);
    record += "H: descriptors=" + UsbDescriptors::hex(descriptors) + "\n";
    return record;
}

}  // namespace

// usbfs as the kernel offers it for one programmer: descriptors, interface
// claims and bulk URBs. A bulk IN URB completes when the model has data;
// when the model's answer is lost it stays pending until the client gives up
// and discards it, as a real transfer whose reply never comes.
class UsbfsNode {
public:
    UsbfsNode(MockBus& bus, size_t index, uint32_t generation, int devnum)
        : bus_(bus), index_(index), generation_(generation), devnum_(devnum)
    {
        handler_ = umockdev_ioctl_base_new();
        g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(onIoctl), this);
        g_signal_connect(handler_, "client-vanished", G_CALLBACK(onVanished), this);
    }
    ~UsbfsNode()
    {
        // The test bed may still hold the handler; it must not call back here.
        g_signal_handlers_disconnect_by_data(handler_, this);
        g_object_unref(handler_);
    }

    UMockdevIoctlBase* handler() const { return handler_; }

private:
    struct Urb {
        uint64_t address = 0;  // the client's own pointer, handed back by REAP
        bool done = false;
    };

    static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        std::lock_guard<std::mutex> lock(static_cast<UsbfsNode*>(self)->bus_.mutex_);
        static_cast<UsbfsNode*>(self)->handle(client);
        return TRUE;
    }

    static void onVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        std::lock_guard<std::mutex> lock(static_cast<UsbfsNode*>(self)->bus_.mutex_);
        // Closing the file gives back its claims and in-flight URBs.
        static_cast<UsbfsNode*>(self)->urbs_.erase(client);
        static_cast<UsbfsNode*>(self)->claimed_.erase(client);
    }

    SimDevice* reachable()
    {
        Simulator& sim = bus_.simulator_;
        sim.update();
        if (index_ >= sim.deviceCount())
            return nullptr;
        SimDevice& device = sim.device(index_);
        return device.present && device.generation == generation_ ? &device : nullptr;
    }

    void handle(UMockdevIoctlClient* client)
    {
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        switch (request) {
        case USBDEVFS_CONNECTINFO: {
            bus_.noteRequest("CONNECTINFO");
            Resolved info(arg, 0, sizeof(usbdevfs_connectinfo));
            if (!info)
                return complete(client, -1, EFAULT);
            info.as<usbdevfs_connectinfo>()->devnum = unsigned(devnum_);
            info.as<usbdevfs_connectinfo>()->slow = 0;
            return complete(client, 0);
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE:
            return claim(client, arg, request == USBDEVFS_CLAIMINTERFACE);
        case USBDEVFS_CONTROL:
            bus_.noteRequest("CONTROL");
            return control(client, arg);
        case USBDEVFS_SUBMITURB:
            bus_.noteRequest("SUBMITURB");
            return submit(client, arg);
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            return reap(client, arg, request == USBDEVFS_REAPURB);
        case USBDEVFS_IOCTL:
            // The interface has no kernel driver to pass the request to (the
            // library asks every device whether it is a hub).
            bus_.noteRequest("IOCTL");
            return complete(client, -1, ENOTTY);
        case USBDEVFS_DISCARDURB:
            bus_.noteRequest("DISCARDURB");
            return discard(client, arg);
        default:
            bus_.noteRequest("other");
            if (tracing())
                std::fprintf(stderr, "e2e: usbfs ioctl 0x%lx not emulated\n", request);
            return complete(client, -1, ENOTTY);
        }
    }

    // The kernel keeps claims per open file: claiming twice is fine, claiming
    // what another file holds is EBUSY, releasing what was not claimed is
    // EINVAL, and a device that left answers ENODEV.
    void claim(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool take)
    {
        bus_.noteRequest(take ? "CLAIMINTERFACE" : "RELEASEINTERFACE");
        Resolved number(arg, 0, sizeof(unsigned int));
        if (!number)
            return complete(client, -1, EFAULT);
        SimDevice* device = reachable();
        if (!device)
            return complete(client, -1, ENODEV);
        const unsigned interface = *number.as<unsigned int>();
        if (interface >= 32)
            return complete(client, -1, EINVAL);
        if (interface != 0)
            return complete(client, -1, ENOENT);
        bool& claimed = claimed_[client];
        if (take && !claimed) {
            for (const auto& [holder, held] : claimed_) {
                if (holder != client && held)
                    return complete(client, -1, EBUSY);
            }
        }
        if (take) {
            claimed = true;
            device->wasClaimed = true;
            return complete(client, 0);
        }
        if (!claimed)
            return complete(client, -1, EINVAL);
        claimed = false;
        return complete(client, 0);
    }

    void control(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
    {
        Resolved transfer(arg, 0, sizeof(usbdevfs_ctrltransfer));
        if (!transfer)
            return complete(client, -1, EFAULT);
        const usbdevfs_ctrltransfer setup = *transfer.as<usbdevfs_ctrltransfer>();
        SimDevice* device = reachable();
        if (!device)
            return complete(client, -1, ENODEV);
        if (setup.bRequestType != kStandardDeviceIn || setup.bRequest != kGetDescriptor)
            return complete(client, -1, EPIPE);
        const int type = setup.wValue >> 8, index = setup.wValue & 0xFF;
        std::vector<uint8_t> answer;
        const UsbDescriptors::Identity identity = UsbDescriptors::of(*device);
        if (type == 1) {
            answer = UsbDescriptors::device(identity);
        } else if (type == 2 && index == 0) {
            answer = UsbDescriptors::configuration(identity);
        } else if (type == 3 && index == 0) {
            answer = UsbDescriptors::languages();
        } else if (type == 3 && setup.wIndex == UsbDescriptors::kEnglishUs && index <= UsbDescriptors::kSerialIndex) {
            const std::string& serial = device->programmer->versions().serial;
            answer = UsbDescriptors::string(index == UsbDescriptors::kManufacturerIndex ? device->manufacturer
                                            : index == UsbDescriptors::kProductIndex
                                                ? device->product
                                                : std::u16string(serial.begin(), serial.end()));
        } else {
            return complete(client, -1, EPIPE);
        }
        const size_t count = std::min<size_t>(answer.size(), setup.wLength);
        if (count > 0) {
            Resolved data(transfer.data, offsetof(usbdevfs_ctrltransfer, data), setup.wLength);
            if (!data)
                return complete(client, -1, EFAULT);
            std::memcpy(data.data->data, answer.data(), count);
        }
        return complete(client, long(count));
    }

    void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
    {
        // Resolving swaps the client's pointer for a local one: keep it first.
        const uint64_t address = *reinterpret_cast<uint64_t*>(arg->data);
        Resolved urbData(arg, 0, sizeof(usbdevfs_urb));
        if (!urbData)
            return complete(client, -1, EFAULT);
        usbdevfs_urb* urb = urbData.as<usbdevfs_urb>();
        SimDevice* device = reachable();
        if (!device)
            return complete(client, -1, ENODEV);
        if (urb->type != USBDEVFS_URB_TYPE_BULK || urb->buffer_length < 0)
            return complete(client, -1, EINVAL);
        const int endpoint = urb->endpoint;
        const bool in = (endpoint & 0x80) != 0;
        if (endpoint != device->replyEndpoint && endpoint != device->commandEndpoint && endpoint != device->dataEndpoint)
            return complete(client, -1, ENOENT);
        std::vector<uint8_t> bytes(size_t(urb->buffer_length));
        std::optional<Resolved> buffer;
        if (!bytes.empty()) {
            buffer.emplace(urbData.data, offsetof(usbdevfs_urb, buffer), bytes.size());
            if (!*buffer)
                return complete(client, -1, EFAULT);
            std::memcpy(bytes.data(), buffer->data->data, bytes.size());
        }
        Simulator& sim = bus_.simulator_;
        const int result = in ? sim.bulkRead(index_, endpoint, bytes.data(), int(bytes.size()))
                              : sim.bulkWrite(index_, endpoint, bytes.data(), int(bytes.size()));
        // A device that leaves the bus refuses the transfer; its node goes
        // with the next pump.
        if (result == Simulator::kNoDevice)
            return complete(client, -1, ENODEV);
        Urb pending{address, false};
        if (result != Simulator::kTimedOut) {
            urb->status = 0;
            urb->actual_length = std::max(result, 0);
            if (in && result > 0)
                std::memcpy(buffer->data->data, bytes.data(), size_t(result));
            pending.done = true;
        }
        urbs_[client].push_back(pending);
        return complete(client, 0);
    }

    void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool wait)
    {
        bus_.noteRequest(wait ? "REAPURB" : "REAPURBNDELAY");
        std::deque<Urb>& urbs = urbs_[client];
        const auto done = std::find_if(urbs.begin(), urbs.end(), [](const Urb& urb) { return urb.done; });
        if (done == urbs.end()) {
            if (!reachable())
                return complete(client, -1, ENODEV);
            // A blocking reap with nothing in flight would hang in the kernel;
            // no client here waits for a URB it never submitted.
            return complete(client, -1, EAGAIN);
        }
        Resolved slot(arg, 0, sizeof(void*));
        if (!slot)
            return complete(client, -1, EFAULT);
        *slot.as<uint64_t>() = done->address;
        urbs.erase(done);
        return complete(client, 0);
    }

    void discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
    {
        const uint64_t address = *reinterpret_cast<uint64_t*>(arg->data);
        std::deque<Urb>& urbs = urbs_[client];
        const auto pending =
            std::find_if(urbs.begin(), urbs.end(), [&](const Urb& urb) { return urb.address == address && !urb.done; });
        if (pending == urbs.end())
            return complete(client, -1, EINVAL);
        Resolved urbData(arg, 0, sizeof(usbdevfs_urb));
        if (!urbData)
            return complete(client, -1, EFAULT);
        urbData.as<usbdevfs_urb>()->status = -ENOENT;
        urbData.as<usbdevfs_urb>()->actual_length = 0;
        pending->done = true;
        return complete(client, 0);
    }

    MockBus& bus_;
    size_t index_;
    uint32_t generation_;
    int devnum_;
    UMockdevIoctlBase* handler_ = nullptr;
    std::map<UMockdevIoctlClient*, std::deque<Urb>> urbs_;
    std::map<UMockdevIoctlClient*, bool> claimed_;
};

// hidraw as the kernel offers it for the boot loader: its report descriptor
// and raw info by ioctl, output reports by write, input reports by read. A
// read with no report waiting answers EAGAIN: the model's replies are ready
// as soon as their command is written, so none would come by waiting.
class HidrawNode {
public:
    HidrawNode(MockBus& bus, uint32_t generation) : bus_(bus), generation_(generation)
    {
        handler_ = umockdev_ioctl_base_new();
        g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(onIoctl), this);
        g_signal_connect(handler_, "handle-read", G_CALLBACK(onRead), this);
        g_signal_connect(handler_, "handle-write", G_CALLBACK(onWrite), this);
    }
    ~HidrawNode()
    {
        // The test bed may still hold the handler; it must not call back here.
        g_signal_handlers_disconnect_by_data(handler_, this);
        g_object_unref(handler_);
    }

    UMockdevIoctlBase* handler() const { return handler_; }

private:
    bool reachable()
    {
        Simulator& sim = bus_.simulator_;
        return sim.inBootloader() && sim.bootloaderGeneration() == generation_;
    }

    static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        std::lock_guard<std::mutex> lock(static_cast<HidrawNode*>(self)->bus_.mutex_);
        static_cast<HidrawNode*>(self)->ioctl(client);
        return TRUE;
    }

    static gboolean onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        auto* node = static_cast<HidrawNode*>(self);
        std::lock_guard<std::mutex> lock(node->bus_.mutex_);
        node->bus_.noteRequest("hidraw read");
        // A hidraw node whose device has gone fails reads with EIO.
        if (!node->reachable()) {
            complete(client, -1, EIO);
            return TRUE;
        }
        UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
        std::vector<uint8_t> report(size_t(buffer->data_len));
        const int count = node->bus_.simulator_.hidRead(report.data(), report.size());
        if (count <= 0) {
            complete(client, -1, EAGAIN);
            return TRUE;
        }
        umockdev_ioctl_data_update(buffer, 0, report.data(), count);
        complete(client, count);
        return TRUE;
    }

    static gboolean onWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        auto* node = static_cast<HidrawNode*>(self);
        std::lock_guard<std::mutex> lock(node->bus_.mutex_);
        node->bus_.noteRequest("hidraw write");
        if (!node->reachable()) {
            complete(client, -1, ENODEV);
            return TRUE;
        }
        UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
        const int count = node->bus_.simulator_.hidWrite(buffer->data, size_t(buffer->data_len));
        complete(client, count < 0 ? -1 : count, count < 0 ? ENODEV : 0);
        return TRUE;
    }

    void ioctl(UMockdevIoctlClient* client)
    {
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        if (!reachable())
            return complete(client, -1, ENODEV);
        const std::vector<uint8_t> reports = UsbDescriptors::bootloaderReports();
        if (request == HIDIOCGRDESCSIZE) {
            bus_.noteRequest("HIDIOCGRDESCSIZE");
            Resolved size(arg, 0, sizeof(int));
            if (!size)
                return complete(client, -1, EFAULT);
            *size.as<int>() = int(reports.size());
            return complete(client, 0);
        }
        if (request == HIDIOCGRDESC) {
            bus_.noteRequest("HIDIOCGRDESC");
            Resolved descriptor(arg, 0, sizeof(hidraw_report_descriptor));
            if (!descriptor)
                return complete(client, -1, EFAULT);
            auto* out = descriptor.as<hidraw_report_descriptor>();
            if (out->size > HID_MAX_DESCRIPTOR_SIZE)
                return complete(client, -1, EINVAL);
            const size_t count = std::min<size_t>(out->size, reports.size());
            std::memcpy(out->value, reports.data(), count);
            return complete(client, 0);
        }
        if (request == HIDIOCGRAWINFO) {
            bus_.noteRequest("HIDIOCGRAWINFO");
            Resolved info(arg, 0, sizeof(hidraw_devinfo));
            if (!info)
                return complete(client, -1, EFAULT);
            *info.as<hidraw_devinfo>() = hidraw_devinfo{BUS_USB, int16_t(kBootloaderVendor), int16_t(kBootloaderProduct)};
            return complete(client, 0);
        }
        bus_.noteRequest("other");
        if (tracing())
            std::fprintf(stderr, "e2e: hidraw ioctl 0x%lx not emulated\n", request);
        return complete(client, -1, EINVAL);
    }

    MockBus& bus_;
    uint32_t generation_;
    UMockdevIoctlBase* handler_ = nullptr;
};

MockBus::MockBus()
{
    testbed_ = umockdev_testbed_new();
    // The root hub is device 1 of the bus and keeps its usbfs folder there
    // when no device is plugged in; nothing talks to it.
    const std::string hub = usbDeviceRecord(kUsbRoot, 1, UsbDescriptors::rootHub(), u"Linux 6.1.0 xhci-hcd",
                                            u"xHCI Host Controller", "0000:00:14.0");
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, hub.c_str(), &error))
        throw std::runtime_error(std::string("cannot add the root hub: ") + error->message);
    pump();
}

MockBus::~MockBus()
{
    // The test bed stops its worker before the handlers go.
    g_object_unref(testbed_);
    usbfsNodes_.clear();
    hidrawNodes_.clear();
}

void MockBus::noteRequest(const char* name)
{
    requests_.emplace_back(name);
    if (tracing())
        std::fprintf(stderr, "e2e: %s\n", name);
}

std::vector<std::string> MockBus::requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> MockBus::nodes() const
{
    std::vector<std::string> nodes;
    for (const auto& [index, attached] : programmers_)
        nodes.push_back(attached.devnode);
    if (bootloader_) {
        nodes.push_back(bootloader_->devnode);
        nodes.push_back(bootloader_->hidrawNode);
    }
    return nodes;
}

void MockBus::pump()
{
    std::vector<size_t> leaving, arriving;
    bool bootloaderWanted = false;
    uint32_t bootloaderGeneration = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        simulator_.update();
        for (size_t index = 0; index < simulator_.deviceCount(); ++index) {
            const SimDevice& device = simulator_.device(index);
            const auto attached = programmers_.find(index);
            const bool current = attached != programmers_.end() && attached->second.generation == device.generation;
            if (attached != programmers_.end() && (!device.present || !current))
                leaving.push_back(index);
            if (device.present && !current)
                arriving.push_back(index);
        }
        // A reset of the model drops the devices added after the programmer.
        for (const auto& [index, attached] : programmers_) {
            if (index >= simulator_.deviceCount())
                leaving.push_back(index);
        }
        bootloaderWanted = simulator_.inBootloader();
        bootloaderGeneration = simulator_.bootloaderGeneration();
    }
    for (const size_t index : leaving) {
        unplug(programmers_[index]);
        programmers_.erase(index);
    }
    if (bootloader_ && (!bootloaderWanted || bootloader_->generation != bootloaderGeneration)) {
        unplug(*bootloader_);
        bootloader_.reset();
    }
    for (const size_t index : arriving)
        plugProgrammer(index);
    if (bootloaderWanted && !bootloader_)
        plugBootloader();
}

void MockBus::unplug(Attached& attached)
{
    // Children first, each announced before it goes, as the kernel does.
    for (auto path = attached.extraSyspaths.rbegin(); path != attached.extraSyspaths.rend(); ++path) {
        umockdev_testbed_uevent(testbed_, path->c_str(), "remove");
        umockdev_testbed_remove_device(testbed_, path->c_str());
    }
    umockdev_testbed_uevent(testbed_, attached.syspath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, attached.syspath.c_str());
}


void MockBus::plugProgrammer(size_t index)
{
    UsbDescriptors::Identity identity;
    std::u16string manufacturer, product;
    std::string serial;
    uint32_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const SimDevice& device = simulator_.device(index);
        identity = UsbDescriptors::of(device);
        manufacturer = device.manufacturer;
        product = device.product;
        serial = device.programmer->versions().serial;
        generation = device.generation;
    }
    const int devnum = nextDevnum_++;
    const std::string devpath = format("%s/1-%zu", kUsbRoot, index + 1);
    const std::string record = usbDeviceRecord(devpath, devnum, identity, manufacturer, product, serial);
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error))
        throw std::runtime_error(std::string("cannot add the programmer: ") + error->message);

    Attached attached;
    attached.syspath = "/sys" + devpath;
    attached.devnode = format("/dev/bus/usb/001/%03d", devnum);
    attached.generation = generation;
    usbfsNodes_.push_back(std::make_unique<UsbfsNode>(*this, index, generation, devnum));
    if (!umockdev_testbed_attach_ioctl(testbed_, attached.devnode.c_str(), usbfsNodes_.back()->handler(), &error))
        throw std::runtime_error(std::string("cannot emulate usbfs: ") + error->message);
    umockdev_testbed_uevent(testbed_, attached.syspath.c_str(), "add");
    programmers_[index] = attached;
}

void MockBus::plugBootloader()
{
    uint32_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        generation = simulator_.bootloaderGeneration();
    }
    const UsbDescriptors::Identity identity = UsbDescriptors::bootloader();
    const int devnum = nextDevnum_++;
    const int hidraw = nextHidraw_++;
    const std::string usbPath = format("%s/1-%d", kUsbRoot, kBootloaderPort);
    const std::string interfacePath = format("%s/1-%d:1.0", usbPath.c_str(), kBootloaderPort);
    const std::string hidName = format("0003:%04X:%04X.%04X", kBootloaderVendor, kBootloaderProduct, hidraw + 1);
    const std::string hidPath = interfacePath + "/" + hidName;
    const std::string hidrawPath = format("%s/hidraw/hidraw%d", hidPath.c_str(), hidraw);
    const std::u16string name = std::u16string(kBootloaderManufacturer) + u" " + kBootloaderName;

    // Parents first, so that each record finds the one above it.
    std::string records = usbDeviceRecord(usbPath, devnum, identity, kBootloaderManufacturer, kBootloaderName, "");
    records += "\nP: " + interfacePath + "\n";
    records += "E: DEVTYPE=usb_interface\nE: DRIVER=usbhid\nE: SUBSYSTEM=usb\nE: INTERFACE=3/0/0\n";
    records += format("E: PRODUCT=%x/%x/100\n", kBootloaderVendor, kBootloaderProduct);
    records += "A: bInterfaceClass=03\nA: bInterfaceNumber=00\nA: bNumEndpoints=02\nA: bAlternateSetting= 0\n\n";
    records += "P: " + hidPath + "\n";
    records += "E: DRIVER=hid-generic\nE: SUBSYSTEM=hid\n";
    records += format("E: HID_ID=0003:%08X:%08X\n", kBootloaderVendor, kBootloaderProduct);
    records += "E: HID_NAME=" + utf8(name) + "\n";
    records += format("E: HID_PHYS=usb-0000:00:14.0-%d/input0\nE: HID_UNIQ=\n", kBootloaderPort);
    records += format("E: MODALIAS=hid:b0003g0001v%08Xp%08X\n", kBootloaderVendor, kBootloaderProduct);
    records += "H: report_descriptor=" + UsbDescriptors::hex(UsbDescriptors::bootloaderReports()) + "\n\n";
    // hidapi finds the hid device behind a hidraw node through its "device" link.
    records += "P: " + hidrawPath + "\n";
    records += format("N: hidraw%d=00\n", hidraw);
    records += format("E: DEVNAME=/dev/hidraw%d\nE: SUBSYSTEM=hidraw\n", hidraw);
    records += format("E: MAJOR=%d\nE: MINOR=%d\nA: dev=%d:%d\n", kHidrawMajor, hidraw, kHidrawMajor, hidraw);
    records += "L: device=../../\n";

    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, records.c_str(), &error))
        throw std::runtime_error(std::string("cannot add the boot loader: ") + error->message);
    Attached attached;
    attached.syspath = "/sys" + usbPath;
    attached.devnode = format("/dev/bus/usb/001/%03d", devnum);
    attached.generation = generation;
    attached.extraSyspaths = {"/sys" + interfacePath, "/sys" + hidPath, "/sys" + hidrawPath};
    attached.hidrawNode = format("/dev/hidraw%d", hidraw);
    hidrawNodes_.push_back(std::make_unique<HidrawNode>(*this, generation));
    if (!umockdev_testbed_attach_ioctl(testbed_, attached.hidrawNode.c_str(), hidrawNodes_.back()->handler(), &error))
        throw std::runtime_error(std::string("cannot emulate hidraw: ") + error->message);
    umockdev_testbed_uevent(testbed_, attached.syspath.c_str(), "add");
    for (const std::string& path : attached.extraSyspaths)
        umockdev_testbed_uevent(testbed_, path.c_str(), "add");
    bootloader_ = attached;
}
