#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "maint/HidApiTable.h"

// One USB HID device, found by vendor id, product id, manufacturer and product
// string, and the reports exchanged with it. Used to talk to the programmer's
// boot loader. Reports are passed whole, report id in the first byte.
class HidDevice {
public:
    // Report kinds, numbered as HID numbers report types.
    enum Kind { Input = 1, Output = 2, Feature = 3 };

    // Results of hid_open other than 0 (found and open). Only the last event of
    // the scan is kept; callers treat every non-zero result as "not found".
    enum OpenResult {
        Opened = 0,
        PathOpenFailed = 1,     // a matching device could not be opened
        NoMatch = 2,            // no device had the ids and both strings
        StringReadFailed = 5    // a device with the ids did not give its strings
    };

    // A silent device must not hang the single thread: an input report that
    // does not arrive within this time counts as a failed read.
    static constexpr int InputReportTimeoutMs = 5000;

    HidDevice() = default;
    ~HidDevice();
    HidDevice(const HidDevice&) = delete;
    HidDevice& operator=(const HidDevice&) = delete;

    // Opens the first present device whose ids match and whose strings equal
    // manufacturer and product exactly (after hid_to_ascii). When either string
    // is null, the first device with matching ids is taken. A device still
    // open from an earlier call is closed first.
    int hid_open(uint16_t vendorId, const char* manufacturer, uint16_t productId, const char* product);

    // Output or feature report; false for any other kind, on a closed device,
    // or when the library does not take the whole report.
    bool hid_write(int kind, const uint8_t* report, size_t length);

    // Input report (waiting at most InputReportTimeoutMs) or feature report;
    // false for any other kind, on a closed device, on a time-out or an error.
    bool hid_read(int kind, uint8_t* report, size_t length);

    // Closes an open device; does nothing otherwise.
    void hid_close();

    bool isOpen() const { return handle_ != nullptr; }

    // Wide text as 8-bit text: every character below 0x100 becomes that byte,
    // every other character '?'. Stops at the first NUL; null gives "".
    static std::string hid_to_ascii(const wchar_t* text);

private:
    hid_device* handle_ = nullptr;
};
