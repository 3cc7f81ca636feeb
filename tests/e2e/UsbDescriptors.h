#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SimDevice;

// The descriptors a USB device hands the host, as bytes on the wire: what the
// kernel keeps in the usbfs node and answers to GET_DESCRIPTOR requests.
namespace UsbDescriptors {

constexpr uint8_t kManufacturerIndex = 1;
constexpr uint8_t kProductIndex = 2;
constexpr uint8_t kSerialIndex = 3;
constexpr uint16_t kEnglishUs = 0x0409;

struct Identity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t release = 0x0100;
    uint8_t deviceClass = 0;  // 0: per interface
    uint8_t interfaceClass = 0xFF;
    uint8_t endpointType = 2;  // 2 bulk, 3 interrupt
    std::vector<uint8_t> endpoints;  // addresses
};

std::vector<uint8_t> device(const Identity& identity);
// Configuration, interface and endpoint descriptors, wTotalLength bytes.
std::vector<uint8_t> configuration(const Identity& identity);
// String descriptor 0 lists the languages; the others carry UTF-16 text.
std::vector<uint8_t> languages();
std::vector<uint8_t> string(const std::u16string& text);
// Report descriptor of the boot loader: vendor page, report id 1, 63 bytes
// each way, so that every report is 64 bytes with its id.
std::vector<uint8_t> bootloaderReports();

// The programmer's identity as its firmware model describes it.
Identity of(const SimDevice& device);
// The boot loader: a HID interface with one interrupt endpoint each way.
Identity bootloader();
// The bus's root hub, which the kernel lists before any device.
Identity rootHub();

// Upper-case hexadecimal text of bytes, as device records carry them.
std::string hex(const std::vector<uint8_t>& bytes);

}  // namespace UsbDescriptors
