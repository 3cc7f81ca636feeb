// belcor-e2e-probe: drives a libusb-0.1 and a hidapi library the way the
// application's bindings do, loaded by file name at run time, and prints every
// result. Run once against the system libraries over the test bed and once
// against the simulator library, the two transcripts must match.
//
//   belcor-e2e-probe USB_LIBRARY HID_LIBRARY usb|hid
//
// Unplugging: with the simulator the probe calls its control interface; over
// the test bed it creates the file $BELCOR_E2E_UNPLUG and waits until the test
// has pulled the programmer out and removed the file.
#include <hidapi/hidapi.h>
#include <usb.h>

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

void* usbLibrary = nullptr;
void* hidLibrary = nullptr;

template <typename Function>
Function* entry(void* library, const char* name)
{
    void* symbol = dlsym(library, name);
    if (!symbol) {
        std::printf("missing entry point %s\n", name);
        std::exit(3);
    }
    return reinterpret_cast<Function*>(symbol);
}

#define USB(name) entry<decltype(name)>(usbLibrary, #name)
#define HID(name) entry<decltype(name)>(hidLibrary, #name)

constexpr int kTimeout = 5000;
constexpr int kBlock = 64;

std::string hex(const void* data, int length)
{
    std::string text;
    char digits[4];
    for (int i = 0; i < length; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", static_cast<const unsigned char*>(data)[i]);
        text += digits;
    }
    return text;
}

std::string narrow(const wchar_t* text)
{
    std::string bytes;
    for (; text && *text; ++text)
        bytes.push_back(*text < 0x100 ? char(*text) : '?');
    return text ? bytes : "(null)";
}

void unplugProgrammer()
{
    using SetPlugged = void(int);
    if (void* control = dlsym(usbLibrary, "belcor_sim_set_plugged")) {
        reinterpret_cast<SetPlugged*>(control)(0);
        return;
    }
    const char* request = std::getenv("BELCOR_E2E_UNPLUG");
    if (!request)
        return;
    std::fclose(std::fopen(request, "w"));
    for (int wait = 0; wait < 500 && access(request, F_OK) == 0; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

struct usb_device* findProgrammer(int& devices)
{
    struct usb_device* programmer = nullptr;
    devices = 0;
    for (struct usb_bus* bus = USB(usb_get_busses)(); bus; bus = bus->next) {
        for (struct usb_device* device = bus->devices; device; device = device->next) {
            // Hubs are the bus's own; a real system always has them.
            devices += device->descriptor.bDeviceClass != USB_CLASS_HUB;
            if (device->descriptor.idVendor == 0x1FC8 && device->descriptor.idProduct == 0x300B && !programmer)
                programmer = device;
        }
    }
    return programmer;
}

void describe(const struct usb_device* device)
{
    const usb_device_descriptor& d = device->descriptor;
    std::printf("device %04X:%04X release %04X strings %d/%d/%d configurations %d\n", d.idVendor, d.idProduct,
                d.bcdDevice, d.iManufacturer, d.iProduct, d.iSerialNumber, d.bNumConfigurations);
    if (!device->config)
        return std::puts("no configuration"), void();
    const usb_config_descriptor& config = device->config[0];
    std::printf("configuration %d interfaces %d\n", config.bConfigurationValue, config.bNumInterfaces);
    const usb_interface_descriptor& setting = config.interface[0].altsetting[0];
    std::printf("interface %d class %02X endpoints", setting.bInterfaceNumber, setting.bInterfaceClass);
    for (int i = 0; i < setting.bNumEndpoints; ++i)
        std::printf(" %02X/%d/%d", setting.endpoint[i].bEndpointAddress, setting.endpoint[i].bmAttributes,
                    setting.endpoint[i].wMaxPacketSize);
    std::puts("");
}

int command(usb_dev_handle* handle, uint8_t opcode, unsigned char* reply)
{
    unsigned char block[kBlock] = {0, opcode};
    const int written = USB(usb_bulk_write)(handle, 0x02, reinterpret_cast<char*>(block), kBlock, kTimeout);
    const int read = USB(usb_bulk_read)(handle, 0x82, reinterpret_cast<char*>(reply), kBlock, kTimeout);
    std::printf("command %d: write %d read %d\n", opcode, written, read);
    return read;
}

int probeUsb()
{
    USB(usb_init)();
    std::printf("find_busses>0 %d\n", USB(usb_find_busses)() > 0);
    std::printf("find_busses again %d\n", USB(usb_find_busses)());
    // A real bus also lists its root hub: count arrivals, not devices.
    std::printf("find_devices>0 %d\n", USB(usb_find_devices)() > 0);
    int devices = 0;
    struct usb_device* programmer = findProgrammer(devices);
    std::printf("devices %d\n", devices);
    if (!programmer)
        return std::puts("no programmer"), 1;
    describe(programmer);

    usb_dev_handle* handle = USB(usb_open)(programmer);
    std::printf("open %s\n", handle ? "ok" : "failed");
    if (!handle)
        return 1;
    unsigned char text[256];
    // String descriptors as the link asks for them, and some it does not.
    const int requests[][3] = {{0x0300, 0, 256}, {0x0301, 0x0409, 256}, {0x0302, 0x0409, 256}, {0x0303, 0x0409, 256},
                               {0x0301, 0x0409, 4}, {0x0309, 0x0409, 256}, {0x0100, 0, 18}, {0x0200, 0, 9}};
    for (const auto& request : requests) {
        std::memset(text, 0xEE, sizeof text);
        const int result = USB(usb_control_msg)(handle, 0x80, 6, request[0], request[1], reinterpret_cast<char*>(text),
                                                request[2], 1000);
        std::printf("get descriptor %04X/%04X/%d: %d %s\n", request[0], request[1], request[2], result,
                    result > 0 ? hex(text, result).c_str() : "");
    }
    std::printf("vendor request: %d\n", USB(usb_control_msg)(handle, 0xC0, 1, 0, 0, reinterpret_cast<char*>(text), 8, 1000));

    std::printf("release before claim %d\n", USB(usb_release_interface)(handle, 0));
    std::printf("claim 1 %d\n", USB(usb_claim_interface)(handle, 1));
    std::printf("claim 0 %d\n", USB(usb_claim_interface)(handle, 0));
    std::printf("claim 0 again %d\n", USB(usb_claim_interface)(handle, 0));

    unsigned char reply[kBlock];
    if (command(handle, 12, reply) == kBlock)
        std::printf("hardware info %s\n", hex(reply + 42, 22).c_str());
    command(handle, 12, reply);
    std::vector<char> large(20000);
    // A reply is one short packet however much is asked for.
    std::printf("reply into a larger read %d\n", USB(usb_bulk_write)(handle, 0x02, reinterpret_cast<char*>(reply), kBlock, kTimeout) == kBlock
                    ? USB(usb_bulk_read)(handle, 0x82, large.data(), 256, kTimeout) : -1);
    // The library cuts large reads into URBs of 16 KiB.
    std::printf("large read %d\n", USB(usb_bulk_read)(handle, 0x82, large.data(), int(large.size()), kTimeout));
    // With no reply waiting the firmware streams data; an OUT address is
    // read from its IN twin, as the library sets the direction bit.
    std::printf("read without reply %d\n", USB(usb_bulk_read)(handle, 0x82, reinterpret_cast<char*>(reply), kBlock, kTimeout));
    std::printf("read from OUT address %d\n", USB(usb_bulk_read)(handle, 0x02, reinterpret_cast<char*>(reply), kBlock, kTimeout));
    std::printf("read from unknown endpoint %d\n", USB(usb_bulk_read)(handle, 0x85, reinterpret_cast<char*>(reply), kBlock, kTimeout));
    std::printf("write to IN address %d\n", USB(usb_bulk_write)(handle, 0x82, reinterpret_cast<char*>(reply), kBlock, kTimeout));
    std::printf("write to unknown endpoint %d\n", USB(usb_bulk_write)(handle, 0x05, reinterpret_cast<char*>(reply), kBlock, kTimeout));
    usb_dev_handle* second = USB(usb_open)(programmer);
    std::printf("claim through a second handle %d\n", USB(usb_claim_interface)(second, 0));
    std::printf("close second %d\n", USB(usb_close)(second));
    std::printf("release 0 %d\n", USB(usb_release_interface)(handle, 0));
    std::printf("release 0 again %d\n", USB(usb_release_interface)(handle, 0));
    std::printf("close %d\n", USB(usb_close)(handle));

    handle = USB(usb_open)(programmer);
    std::printf("open again %s\n", handle ? "ok" : "failed");
    if (!handle)
        return 1;
    std::printf("claim 0 %d\n", USB(usb_claim_interface)(handle, 0));
    unplugProgrammer();
    std::printf("write after unplug %d\n", USB(usb_bulk_write)(handle, 0x02, reinterpret_cast<char*>(reply), kBlock, kTimeout));
    std::printf("read after unplug %d\n", USB(usb_bulk_read)(handle, 0x82, reinterpret_cast<char*>(reply), kBlock, kTimeout));
    std::printf("descriptor after unplug %d\n",
                USB(usb_control_msg)(handle, 0x80, 6, 0x0301, 0x0409, reinterpret_cast<char*>(text), 256, 1000));
    std::printf("release after unplug %d\n", USB(usb_release_interface)(handle, 0));
    std::printf("close after unplug %d\n", USB(usb_close)(handle));
    std::printf("find_devices after unplug %d\n", USB(usb_find_devices)());
    programmer = findProgrammer(devices);
    std::printf("devices %d programmer %s\n", devices, programmer ? "present" : "gone");
    return 0;
}

struct hid_device_info* waitForBootloader()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (struct hid_device_info* found = HID(hid_enumerate)(0x28E9, 0x028B))
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

int probeHid()
{
    std::printf("hid_init %d\n", HID(hid_init)());
    struct hid_device_info* none = HID(hid_enumerate)(0x28E9, 0x028B);
    std::printf("boot loader before upgrade %s\n", none ? "present" : "absent");
    HID(hid_free_enumeration)(none);

    USB(usb_init)();
    USB(usb_find_busses)();
    USB(usb_find_devices)();
    int devices = 0;
    usb_dev_handle* handle = USB(usb_open)(findProgrammer(devices));
    USB(usb_claim_interface)(handle, 0);
    unsigned char reply[kBlock];
    command(handle, 13, reply);
    std::printf("release after EnterUpgrade %d\n", USB(usb_release_interface)(handle, 0));
    USB(usb_close)(handle);

    struct hid_device_info* found = waitForBootloader();
    if (!found)
        return std::puts("no boot loader"), 1;
    for (const struct hid_device_info* info = found; info; info = info->next) {
        std::printf("hid %04X:%04X release %04X serial '%s' manufacturer '%s' product '%s'\n", info->vendor_id,
                    info->product_id, info->release_number, narrow(info->serial_number).c_str(),
                    narrow(info->manufacturer_string).c_str(), narrow(info->product_string).c_str());
        std::printf("usage %04X/%04X interface %d bus %d\n", info->usage_page, info->usage, info->interface_number,
                    int(info->bus_type));
    }
    hid_device* device = HID(hid_open_path)(found->path);
    HID(hid_free_enumeration)(found);
    std::printf("open_path %s\n", device ? "ok" : "failed");
    if (!device)
        return 1;
    unsigned char report[kBlock] = {1, 0x05};
    std::printf("write 0x05 %d\n", HID(hid_write)(device, report, kBlock));
    std::memset(report, 0, sizeof report);
    const int read = HID(hid_read_timeout)(device, report, kBlock, 5000);
    std::printf("read %d %s\n", read, read > 0 ? hex(report, 8).c_str() : "");
    std::printf("read with none waiting %d\n", HID(hid_read_timeout)(device, report, kBlock, 100));
    unsigned char shorter[8] = {1, 0x01};
    std::printf("write 0x01 %d\n", HID(hid_write)(device, shorter, sizeof shorter));
    std::printf("short read %d\n", HID(hid_read_timeout)(device, shorter, sizeof shorter, 5000));
    unplugProgrammer();
    std::printf("write after unplug %d\n", HID(hid_write)(device, report, kBlock));
    std::printf("read after unplug %d\n", HID(hid_read_timeout)(device, report, kBlock, 100));
    HID(hid_close)(device);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: belcor-e2e-probe USB_LIBRARY HID_LIBRARY usb|hid\n");
        return 2;
    }
    usbLibrary = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    hidLibrary = std::strcmp(argv[1], argv[2]) == 0 ? usbLibrary : dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
    if (!usbLibrary || !hidLibrary) {
        std::fprintf(stderr, "cannot load: %s\n", dlerror());
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    return std::strcmp(argv[3], "usb") == 0 ? probeUsb() : probeHid();
}
