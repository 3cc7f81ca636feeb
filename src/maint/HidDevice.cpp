#include "maint/HidDevice.h"

#include "maint/HidApi.h"

HidDevice::~HidDevice()
{
    hid_close();
}

int HidDevice::hid_open(uint16_t vendorId, const char* manufacturer, uint16_t productId, const char* product)
{
    hid_close();
    HidApi::load();

    // The enumeration already carries each device's ids and strings, so only
    // the device that matches is opened; other HID devices (keyboards, and
    // anything the user may not open) are left alone.
    int result = NoMatch;
    hid_device* found = nullptr;
    hid_device_info* devices = HidApi::call<&HidApiTable::hid_enumerate>(0, 0);
    for (const hid_device_info* device = devices; device != nullptr; device = device->next) {
        if (device->vendor_id != vendorId || device->product_id != productId)
            continue;
        result = NoMatch;
        if (manufacturer != nullptr && product != nullptr) {
            if (device->manufacturer_string == nullptr) {
                result = StringReadFailed;
                continue;
            }
            if (hid_to_ascii(device->manufacturer_string) != manufacturer)
                continue;
            if (device->product_string == nullptr) {
                result = StringReadFailed;
                continue;
            }
            if (hid_to_ascii(device->product_string) != product)
                continue;
        }
        found = device->path != nullptr ? HidApi::call<&HidApiTable::hid_open_path>(device->path) : nullptr;
        if (found != nullptr)
            break;
        result = PathOpenFailed;
    }
    HidApi::call<&HidApiTable::hid_free_enumeration>(devices);

    if (found == nullptr)
        return result;
    handle_ = found;
    return Opened;
}

bool HidDevice::hid_write(int kind, const uint8_t* report, size_t length)
{
    if (handle_ == nullptr || (kind != Output && kind != Feature))
        return false;
    const int written = kind == Output ? HidApi::call<&HidApiTable::hid_write>(handle_, report, length)
                                       : HidApi::call<&HidApiTable::hid_send_feature_report>(handle_, report, length);
    return written >= 0 && static_cast<size_t>(written) >= length;
}

bool HidDevice::hid_read(int kind, uint8_t* report, size_t length)
{
    if (handle_ == nullptr || (kind != Input && kind != Feature))
        return false;
    const int received =
        kind == Input ? HidApi::call<&HidApiTable::hid_read_timeout>(handle_, report, length, InputReportTimeoutMs)
                      : HidApi::call<&HidApiTable::hid_get_feature_report>(handle_, report, length);
    // hidapi gives 0 when the time-out passed without a report.
    return received > 0;
}

void HidDevice::hid_close()
{
    if (handle_ == nullptr)
        return;
    HidApi::call<&HidApiTable::hid_close>(handle_);
    handle_ = nullptr;
}

std::string HidDevice::hid_to_ascii(const wchar_t* text)
{
    std::string ascii;
    if (text == nullptr)
        return ascii;
    for (; *text != L'\0'; ++text) {
        const auto unit = static_cast<uint32_t>(*text);
        ascii.push_back(unit < 0x100 ? static_cast<char>(unit) : '?');
    }
    return ascii;
}
