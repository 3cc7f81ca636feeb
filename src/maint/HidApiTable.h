#pragma once

#include <cstddef>

#include <hidapi/hidapi.h>

// The hidapi entry points the boot-loader link resolves, each null until the
// loaded library exports it (hid_error names the reason of a failure). The
// header supplies only the types (hid_device, hid_device_info); the functions
// are always called through these pointers.
struct HidApiTable {
    int (*hid_init)() = nullptr;
    struct hid_device_info* (*hid_enumerate)(unsigned short vendorId, unsigned short productId) = nullptr;
    void (*hid_free_enumeration)(struct hid_device_info* devices) = nullptr;
    hid_device* (*hid_open_path)(const char* path) = nullptr;
    int (*hid_write)(hid_device* device, const unsigned char* data, size_t length) = nullptr;
    int (*hid_read_timeout)(hid_device* device, unsigned char* data, size_t length, int milliseconds) = nullptr;
    int (*hid_send_feature_report)(hid_device* device, const unsigned char* data, size_t length) = nullptr;
    int (*hid_get_feature_report)(hid_device* device, unsigned char* data, size_t length) = nullptr;
    void (*hid_close)(hid_device* device) = nullptr;
    const wchar_t* (*hid_error)(hid_device* device) = nullptr;
};
