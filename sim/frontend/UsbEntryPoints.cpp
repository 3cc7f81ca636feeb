// The libusb-0.1 entry points, with the layouts of its usb.h. The ones a
// programmer link needs are routed to the simulated devices; the rest are
// harmless stubs that fail, as an old library without them would.
#include "frontend/SimulatorInstance.h"
#include "frontend/UsbBus.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_set>

#define BELCOR_EXPORT extern "C" __attribute__((visibility("default")))

struct usb_dev_handle {
    size_t index;
    uint32_t epoch;
    uint32_t generation;
    bool claimed;
};

__attribute__((visibility("default"))) struct usb_bus* usb_busses = nullptr;

namespace {
constexpr int kStandardDeviceIn = 0x80;
constexpr int kGetDescriptor = 6;

// Guards the bus list and the set of open handles: discovery, open and close
// take it, transfers only look their handle up under it.
std::mutex& busMutex()
{
    static std::mutex mutex;
    return mutex;
}

UsbBus& usbBus()
{
    static UsbBus bus;
    return bus;
}

std::unordered_set<usb_dev_handle*>& openHandles()
{
    static std::unordered_set<usb_dev_handle*> handles;
    return handles;
}

// Each thread reads the reason of its own last failure.
thread_local char lastError[128] = "No error";

int fail(int code)
{
    std::snprintf(lastError, sizeof lastError, "%s", std::strerror(-code));
    return code;
}

// The simulated device behind a handle, or null with the reason stored when
// the handle is unknown or its device has left the bus since it was opened.
SimDevice* deviceOf(usb_dev_handle* handle, int& error)
{
    Simulator& sim = simulator();
    {
        const std::lock_guard lock(busMutex());
        if (!openHandles().count(handle)) {
            error = fail(-EINVAL);
            return nullptr;
        }
    }
    sim.updateBus();
    if (handle->epoch != sim.epoch() || handle->index >= sim.deviceCount()) {
        error = fail(-ENODEV);
        return nullptr;
    }
    SimDevice& device = sim.device(handle->index);
    if (!device.present || device.generation != handle->generation) {
        error = fail(-ENODEV);
        return nullptr;
    }
    return &device;
}

int unsupported()
{
    return fail(-ENOSYS);
}
}

BELCOR_EXPORT void usb_init(void)
{
}

BELCOR_EXPORT void usb_set_debug(int)
{
}

BELCOR_EXPORT int usb_find_busses(void)
{
    return callSafely(0, [] {
        const std::lock_guard lock(busMutex());
        const bool first = usb_busses == nullptr;
        usb_busses = usbBus().bus();
        return first ? 1 : 0;
    });
}

BELCOR_EXPORT int usb_find_devices(void)
{
    return callSafely(0, [] {
        const auto world = shareWorld();
        const std::lock_guard lock(busMutex());
        Simulator& sim = simulator();
        sim.updateBus();
        return usbBus().refresh(sim);
    });
}

BELCOR_EXPORT struct usb_bus* usb_get_busses(void)
{
    return usb_busses;
}

BELCOR_EXPORT usb_dev_handle* usb_open(struct usb_device* dev)
{
    return callSafely<usb_dev_handle*>(nullptr, [dev]() -> usb_dev_handle* {
        const auto world = shareWorld();
        const std::lock_guard lock(busMutex());
        Simulator& sim = simulator();
        sim.updateBus();
        const int index = usbBus().indexOf(dev);
        if (index < 0 || size_t(index) >= sim.deviceCount() || !sim.device(size_t(index)).present) {
            fail(-ENODEV);
            return nullptr;
        }
        auto* handle = new usb_dev_handle{size_t(index), sim.epoch(), sim.device(size_t(index)).generation, false};
        openHandles().insert(handle);
        sim.noteOpen(size_t(index));
        return handle;
    });
}

BELCOR_EXPORT int usb_close(usb_dev_handle* dev)
{
    return callSafely(-EINVAL, [dev] {
        const auto world = shareWorld();
        {
            const std::lock_guard lock(busMutex());
            if (!openHandles().erase(dev))
                return fail(-EINVAL);
        }
        Simulator& sim = simulator();
        if (dev->epoch == sim.epoch())
            sim.noteClose(dev->index);
        delete dev;
        return 0;
    });
}

BELCOR_EXPORT int usb_claim_interface(usb_dev_handle* dev, int interface)
{
    return callSafely(-EINVAL, [=] {
        const auto world = shareWorld();
        int error = 0;
        SimDevice* device = deviceOf(dev, error);
        if (!device)
            return error;
        if (interface != UsbBus::kInterfaceNumber)
            return fail(-ENOENT);
        const std::lock_guard lock(busMutex());
        // usbfs gives an interface to one open file at a time.
        for (const usb_dev_handle* other : openHandles()) {
            if (other != dev && other->claimed && other->index == dev->index && other->epoch == dev->epoch &&
                other->generation == dev->generation)
                return fail(-EBUSY);
        }
        dev->claimed = true;
        device->wasClaimed = true;
        return 0;
    });
}

BELCOR_EXPORT int usb_release_interface(usb_dev_handle* dev, int interface)
{
    return callSafely(-EINVAL, [=] {
        const auto world = shareWorld();
        int error = 0;
        if (!deviceOf(dev, error))
            return error;
        const std::lock_guard lock(busMutex());
        // As usbfs answers: no such interface, or one this handle never claimed.
        if (interface != UsbBus::kInterfaceNumber)
            return fail(-ENOENT);
        if (!dev->claimed)
            return fail(-EINVAL);
        dev->claimed = false;
        return 0;
    });
}

BELCOR_EXPORT int usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int)
{
    return callSafely(-EIO, [=] {
        const auto world = shareWorld();
        int error = 0;
        if (!deviceOf(dev, error))
            return error;
        // The library sets the direction from the call, whatever the address says.
        const int result =
            simulator().bulkWrite(dev->index, ep & ~USB_ENDPOINT_IN, reinterpret_cast<const uint8_t*>(bytes), size);
        return result < 0 ? fail(result) : result;
    });
}

BELCOR_EXPORT int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int)
{
    return callSafely(-EIO, [=] {
        const auto world = shareWorld();
        int error = 0;
        if (!deviceOf(dev, error))
            return error;
        const int result = simulator().bulkRead(dev->index, ep | USB_ENDPOINT_IN, reinterpret_cast<uint8_t*>(bytes), size);
        return result < 0 ? fail(result) : result;
    });
}

BELCOR_EXPORT int usb_control_msg(usb_dev_handle* dev, int requesttype, int request, int value, int index,
                                  char* bytes, int size, int)
{
    return callSafely(-EIO, [=] {
        const auto world = shareWorld();
        int error = 0;
        SimDevice* device = deviceOf(dev, error);
        if (!device)
            return error;
        const std::lock_guard lock(device->mutex);
        if (requesttype != kStandardDeviceIn || request != kGetDescriptor || size < 0)
            return fail(-EPIPE);
        const int result = usbBus().describe(simulator(), dev->index, value, index, reinterpret_cast<uint8_t*>(bytes), size);
        return result < 0 ? fail(result) : result;
    });
}

BELCOR_EXPORT char* usb_strerror(void)
{
    return lastError;
}

BELCOR_EXPORT struct usb_device* usb_device(usb_dev_handle* dev)
{
    return callSafely<struct usb_device*>(nullptr, [dev]() -> struct usb_device* {
        const std::lock_guard lock(busMutex());
        return openHandles().count(dev) ? usbBus().deviceAt(dev->index) : nullptr;
    });
}

BELCOR_EXPORT int usb_get_string(usb_dev_handle*, int, int, char*, size_t)
{
    return unsupported();
}

BELCOR_EXPORT int usb_get_string_simple(usb_dev_handle*, int, char*, size_t)
{
    return unsupported();
}

BELCOR_EXPORT int usb_get_descriptor_by_endpoint(usb_dev_handle*, int, unsigned char, unsigned char, void*, int)
{
    return unsupported();
}

BELCOR_EXPORT int usb_get_descriptor(usb_dev_handle*, unsigned char, unsigned char, void*, int)
{
    return unsupported();
}

BELCOR_EXPORT int usb_interrupt_write(usb_dev_handle*, int, const char*, int, int)
{
    return unsupported();
}

BELCOR_EXPORT int usb_interrupt_read(usb_dev_handle*, int, char*, int, int)
{
    return unsupported();
}

BELCOR_EXPORT int usb_set_configuration(usb_dev_handle*, int)
{
    return unsupported();
}

BELCOR_EXPORT int usb_set_altinterface(usb_dev_handle*, int)
{
    return unsupported();
}

BELCOR_EXPORT int usb_resetep(usb_dev_handle*, unsigned int)
{
    return unsupported();
}

BELCOR_EXPORT int usb_clear_halt(usb_dev_handle*, unsigned int)
{
    return unsupported();
}

BELCOR_EXPORT int usb_reset(usb_dev_handle*)
{
    return unsupported();
}

// The entries below exist only in the Windows flavour of the library.
BELCOR_EXPORT int usb_reset_ex(usb_dev_handle*, unsigned int)
{
    return unsupported();
}

BELCOR_EXPORT int usb_install_service_np(void)
{
    return unsupported();
}

BELCOR_EXPORT int usb_uninstall_service_np(void)
{
    return unsupported();
}

BELCOR_EXPORT int usb_install_driver_np(const char*)
{
    return unsupported();
}

BELCOR_EXPORT const void* usb_get_version(void)
{
    return nullptr;
}

BELCOR_EXPORT int usb_isochronous_setup_async(usb_dev_handle*, void**, unsigned char, int)
{
    return unsupported();
}

BELCOR_EXPORT int usb_bulk_setup_async(usb_dev_handle*, void**, unsigned char)
{
    return unsupported();
}

BELCOR_EXPORT int usb_interrupt_setup_async(usb_dev_handle*, void**, unsigned char)
{
    return unsupported();
}

BELCOR_EXPORT int usb_submit_async(void*, char*, int)
{
    return unsupported();
}

BELCOR_EXPORT int usb_reap_async(void*, int)
{
    return unsupported();
}

BELCOR_EXPORT int usb_free_async(void**)
{
    return unsupported();
}
