#pragma once

#include <cstddef>

#include <usb.h>

// The 36 entry points of the libusb 0.1 interface, in the order they are
// resolved. Each is null until the loaded library exports it. The Windows-only
// entries are declared here with libusb-win32's signatures, since usb.h on
// other systems lacks them; an opaque pointer stands for their own types.
struct LibraryTable {
    usb_dev_handle* (*usb_open)(struct usb_device* device) = nullptr;
    int (*usb_close)(usb_dev_handle* handle) = nullptr;
    int (*usb_get_string)(usb_dev_handle* handle, int index, int langid, char* text, size_t capacity) = nullptr;
    int (*usb_get_string_simple)(usb_dev_handle* handle, int index, char* text, size_t capacity) = nullptr;
    int (*usb_get_descriptor_by_endpoint)(usb_dev_handle* handle, int endpoint, unsigned char type,
                                          unsigned char index, void* data, int size) = nullptr;
    int (*usb_get_descriptor)(usb_dev_handle* handle, unsigned char type, unsigned char index, void* data,
                              int size) = nullptr;
    int (*usb_bulk_write)(usb_dev_handle* handle, int endpoint, const char* data, int size, int timeout) = nullptr;
    int (*usb_bulk_read)(usb_dev_handle* handle, int endpoint, char* data, int size, int timeout) = nullptr;
    int (*usb_interrupt_write)(usb_dev_handle* handle, int endpoint, const char* data, int size,
                               int timeout) = nullptr;
    int (*usb_interrupt_read)(usb_dev_handle* handle, int endpoint, char* data, int size, int timeout) = nullptr;
    int (*usb_control_msg)(usb_dev_handle* handle, int requestType, int request, int value, int index, char* data,
                           int size, int timeout) = nullptr;
    int (*usb_set_configuration)(usb_dev_handle* handle, int configuration) = nullptr;
    int (*usb_claim_interface)(usb_dev_handle* handle, int interface) = nullptr;
    int (*usb_release_interface)(usb_dev_handle* handle, int interface) = nullptr;
    int (*usb_set_altinterface)(usb_dev_handle* handle, int alternate) = nullptr;
    int (*usb_resetep)(usb_dev_handle* handle, unsigned int endpoint) = nullptr;
    int (*usb_clear_halt)(usb_dev_handle* handle, unsigned int endpoint) = nullptr;
    int (*usb_reset)(usb_dev_handle* handle) = nullptr;
    int (*usb_reset_ex)(usb_dev_handle* handle, unsigned int resetType) = nullptr;
    char* (*usb_strerror)() = nullptr;
    void (*usb_init)() = nullptr;
    void (*usb_set_debug)(int level) = nullptr;
    int (*usb_find_busses)() = nullptr;
    int (*usb_find_devices)() = nullptr;
    struct usb_device* (*usb_device)(usb_dev_handle* handle) = nullptr;
    struct usb_bus* (*usb_get_busses)() = nullptr;
    int (*usb_install_service_np)() = nullptr;
    int (*usb_uninstall_service_np)() = nullptr;
    int (*usb_install_driver_np)(const char* infFile) = nullptr;
    const void* (*usb_get_version)() = nullptr;
    int (*usb_isochronous_setup_async)(usb_dev_handle* handle, void** context, unsigned char endpoint,
                                       int packetSize) = nullptr;
    int (*usb_bulk_setup_async)(usb_dev_handle* handle, void** context, unsigned char endpoint) = nullptr;
    int (*usb_interrupt_setup_async)(usb_dev_handle* handle, void** context, unsigned char endpoint) = nullptr;
    int (*usb_submit_async)(void* context, char* data, int size) = nullptr;
    int (*usb_reap_async)(void* context, int timeout) = nullptr;
    int (*usb_free_async)(void** context) = nullptr;
};
