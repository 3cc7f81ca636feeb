// The hidapi entry points, with the layouts of its hidapi.h. The only HID
// device is the programmer's boot loader, present while an upgrade runs.
#include "frontend/SimulatorInstance.h"

#include <hidapi/hidapi.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <unordered_set>

#define BELCOR_EXPORT extern "C" __attribute__((visibility("default")))

struct hid_device_ {
    uint32_t epoch;
    uint32_t generation;
};

namespace {
constexpr unsigned short kBootloaderVendor = 0x28E9;
constexpr unsigned short kBootloaderProduct = 0x028B;
constexpr char kBootloaderPath[] = "belcor-sim:bootloader";
constexpr wchar_t kBootloaderManufacturer[] = L"GigaDevice";
constexpr wchar_t kBootloaderProductName[] = L"GD32 USB IAP in FS Mode";

std::unordered_set<hid_device*>& openDevices()
{
    static std::unordered_set<hid_device*> devices;
    return devices;
}

std::wstring lastError = L"Success";

int fail(const wchar_t* reason)
{
    lastError = reason;
    return -1;
}

bool matches(unsigned short vendorId, unsigned short productId)
{
    return (vendorId == 0 || vendorId == kBootloaderVendor) && (productId == 0 || productId == kBootloaderProduct);
}

wchar_t* copyText(const wchar_t* text)
{
    const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(std::malloc(bytes));
    if (copy)
        std::memcpy(copy, text, bytes);
    return copy;
}

hid_device* openBootloader()
{
    Simulator& sim = simulator();
    if (!sim.inBootloader()) {
        fail(L"No such device");
        return nullptr;
    }
    auto* device = new hid_device{sim.epoch(), sim.bootloaderGeneration()};
    openDevices().insert(device);
    lastError = L"Success";
    return device;
}

// Whether a handle still reaches the boot loader it was opened on.
bool reaches(hid_device* device)
{
    Simulator& sim = simulator();
    if (!openDevices().count(device))
        return fail(L"Invalid device handle"), false;
    if (!sim.inBootloader() || device->epoch != sim.epoch() || device->generation != sim.bootloaderGeneration())
        return fail(L"Device disconnected"), false;
    return true;
}

int write(hid_device* device, const unsigned char* data, size_t length)
{
    if (!reaches(device))
        return -1;
    return simulator().hidWrite(data, length);
}

int read(hid_device* device, unsigned char* data, size_t length)
{
    if (!reaches(device))
        return -1;
    // Replies are ready as soon as their command is written, so waiting
    // could never bring one: no report now means a time-out.
    return simulator().hidRead(data, length);
}
}

BELCOR_EXPORT int hid_init(void)
{
    return 0;
}

BELCOR_EXPORT int hid_exit(void)
{
    return 0;
}

BELCOR_EXPORT struct hid_device_info* hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    return callSafely<hid_device_info*>(nullptr, [=]() -> hid_device_info* {
        if (!simulator().inBootloader() || !matches(vendor_id, product_id))
            return nullptr;
        auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
        if (!info)
            return nullptr;
        info->path = strdup(kBootloaderPath);
        info->vendor_id = kBootloaderVendor;
        info->product_id = kBootloaderProduct;
        info->serial_number = copyText(L"");
        info->release_number = 0x0100;
        info->manufacturer_string = copyText(kBootloaderManufacturer);
        info->product_string = copyText(kBootloaderProductName);
        info->usage_page = 0xFF00;
        info->usage = 1;
        info->interface_number = 0;
        info->bus_type = HID_API_BUS_USB;
        return info;
    });
}

BELCOR_EXPORT void hid_free_enumeration(struct hid_device_info* devs)
{
    while (devs) {
        hid_device_info* next = devs->next;
        std::free(devs->path);
        std::free(devs->serial_number);
        std::free(devs->manufacturer_string);
        std::free(devs->product_string);
        std::free(devs);
        devs = next;
    }
}

BELCOR_EXPORT hid_device* hid_open(unsigned short vendor_id, unsigned short product_id, const wchar_t* serial_number)
{
    return callSafely<hid_device*>(nullptr, [=]() -> hid_device* {
        if (vendor_id != kBootloaderVendor || product_id != kBootloaderProduct
            || (serial_number && *serial_number)) {
            fail(L"No such device");
            return nullptr;
        }
        return openBootloader();
    });
}

BELCOR_EXPORT hid_device* hid_open_path(const char* path)
{
    return callSafely<hid_device*>(nullptr, [=]() -> hid_device* {
        if (!path || std::strcmp(path, kBootloaderPath) != 0) {
            fail(L"No such device");
            return nullptr;
        }
        return openBootloader();
    });
}

BELCOR_EXPORT int hid_write(hid_device* dev, const unsigned char* data, size_t length)
{
    return callSafely(-1, [=] { return write(dev, data, length); });
}

BELCOR_EXPORT int hid_send_feature_report(hid_device* dev, const unsigned char* data, size_t length)
{
    return callSafely(-1, [=] { return write(dev, data, length); });
}

BELCOR_EXPORT int hid_read_timeout(hid_device* dev, unsigned char* data, size_t length, int)
{
    return callSafely(-1, [=] { return read(dev, data, length); });
}

BELCOR_EXPORT int hid_read(hid_device* dev, unsigned char* data, size_t length)
{
    return callSafely(-1, [=] { return read(dev, data, length); });
}

BELCOR_EXPORT int hid_get_feature_report(hid_device* dev, unsigned char* data, size_t length)
{
    return callSafely(-1, [=] { return read(dev, data, length); });
}

BELCOR_EXPORT void hid_close(hid_device* dev)
{
    callSafely([=] {
        if (openDevices().erase(dev))
            delete dev;
    });
}

BELCOR_EXPORT const wchar_t* hid_error(hid_device*)
{
    return lastError.c_str();
}
