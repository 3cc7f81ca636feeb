#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/LibraryTable.h"

// The bulk link to the programmer: finds it on the USB buses by its ids and
// strings, claims its interface and moves blocks over three bulk endpoints
// (command blocks out, replies and read data in, write data out). It shows
// nothing to the user: every transfer returns the library's result, the count
// of bytes moved or a negative error, for the caller to judge.
//
// Use: prog_open, any number of transfers, USB_bulk_close. The link is never
// held open between user actions.
//
// Several links may work at once, one per programmer and thread: discovery
// (the library's bus lists) runs behind one process-wide lock, transfers on
// the links' own handles run side by side. A link aimed at one programmer
// finds it in a process-wide directory of the candidates' strings, read again
// only after the library reports a device that came or went, and opens that
// one device alone; it reads its strings and claims it outside the lock, so
// that no link's open waits on another's.
class TUsbBulk {
public:
    // A device with the programmer's ids and strings, as found on the buses.
    struct Port {
        std::string position;  // "BUS/DEVICE", the library's bus and device names
        std::string serial;    // its USB serial-number string; may be empty
        bool claimable = false;  // false: another open file holds its interface
    };

    static constexpr int BulkTimeoutMs = 5000;
    static constexpr int StringTimeoutMs = 1000;
    static constexpr int VendorTimeoutMs = 7000;
    static constexpr uint32_t ReplyPauseMs = 50;
    static constexpr uint16_t EnglishLanguageId = 0x0409;
    // Result of a transfer asked of a closed link, which moves nothing; the
    // library reports a device that has gone the same way (-ENODEV).
    static constexpr int LinkClosedResult = -19;

    using SleepFunction = std::function<void(uint32_t milliseconds)>;

    // Closed, with the layout of the application's programmer (0x82 / 1 / 2).
    TUsbBulk();
    // A link left open (a thread that ended mid-operation) gives its
    // programmer back.
    ~TUsbBulk();
    TUsbBulk(const TUsbBulk&) = delete;
    TUsbBulk& operator=(const TUsbBulk&) = delete;

    // The reply pause of USB_bulk_cmd goes through this; by default the
    // thread really sleeps. The application hands in its host's sleep.
    void setSleep(SleepFunction sleep);

    // Diagnostic texts of failed opens and transfers go to stderr when enabled
    // (the application's --verbose); process-wide.
    static void setTraceEnabled(bool enabled);

    // One vendor control transfer; direction 1 = device to host. The four
    // bytes are wValue and wIndex, least significant byte first. Result: bytes
    // moved, or -1.
    int USB_transmit(uint8_t direction, uint8_t request, const uint8_t* valueAndIndex, uint8_t* data, int size);

    // Reads string descriptor `index` as 8-bit text: characters above 0xFF
    // become '?'. Result: characters stored (at most capacity - 1, always
    // terminated), 0 for a reply that is no string descriptor, or the
    // library's negative error.
    int usbGetStringAscii(usb_dev_handle* handle, int index, int languageId, char* text, int capacity);

    // Which programmer prog_open takes: "BUS/DEVICE" names a bus position,
    // any other text a serial number, an empty text the first one found.
    void setTarget(std::string target);
    const std::string& target() const { return target_; }

    // Every device with these ids and exactly these strings, in bus and device
    // order. A device claimed elsewhere is listed, not disturbed.
    static std::vector<Port> findPorts(int vendorId, std::string_view manufacturer, int productId,
                                       std::string_view product);
    // The same devices as the directory knows them: none is opened unless a
    // device came or went since the last look. `claimable` is not looked at.
    static std::vector<Port> knownPorts(int vendorId, std::string_view manufacturer, int productId,
                                        std::string_view product);

    // Opens the first device, in bus and device order, with these ids and
    // exactly these strings (and at the target: the one device the directory
    // places there), and claims its interface. A device whose interface
    // another open file holds is passed over. Product "WinUSB1"
    // selects reply 0x81 / command 0x01 / data 0x02, any other 0x82 / 0x02 /
    // 0x01. A link still open is closed first. Result 1 when open, else 0.
    int prog_open(int vendorId, std::string_view manufacturer, int productId, std::string_view product);

    // Sends `length` bytes of `block` on the command endpoint; with a reply,
    // pauses 50 ms and reads `length` bytes into the same block (which keeps
    // whatever the library left in it when the read fails). Result of the
    // last transfer made.
    int USB_bulk_cmd(uint8_t* block, int length, int replyFlag);
    int USB_bulk_write(const uint8_t* data, int length);
    int USB_bulk_read(uint8_t* data, int length);

    // Releases the interface and closes the device; a failed release does not
    // stop the close.
    void USB_bulk_close();

    bool isOpen() const { return handle_ != nullptr; }
    // A transfer on the open link found the device gone (-ENODEV) since the
    // last successful prog_open: the programmer was unplugged, not just slow.
    bool deviceLost() const { return deviceLost_; }
    int replyEndpoint() const { return replyEndpoint_; }
    int dataEndpoint() const { return dataEndpoint_; }
    int commandEndpoint() const { return commandEndpoint_; }
    int claimedInterface() const { return claimedInterface_; }

    // What opening a candidate needs of its usb_device, copied while the
    // discovery lock holds the library's device list still.
    struct Candidate {
        int serialIndex = 0;
        int manufacturerIndex = 0;
        int productIndex = 0;
        int interfaceNumber = -1;
    };

private:
    bool tryCandidate(usb_dev_handle* handle, const Candidate& candidate, std::string_view manufacturer,
                      std::string_view product);
    // Opens the device at the target, holding the discovery lock only to find
    // and open it; null when it is not on the bus.
    usb_dev_handle* openTarget(int vendorId, std::string_view manufacturer, int productId, std::string_view product,
                               Candidate& candidate);
    bool targetsPosition() const;
    void chooseLayout(std::string_view product);
    void noteFailure(int result);

    usb_dev_handle* handle_ = nullptr;
    int replyEndpoint_ = 0x82;
    int dataEndpoint_ = 1;
    int commandEndpoint_ = 2;
    int claimedInterface_ = 0;
    SleepFunction sleep_;
    bool deviceLost_ = false;
    std::string target_;
};
