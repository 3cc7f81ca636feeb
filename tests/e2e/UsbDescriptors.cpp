#include "e2e/UsbDescriptors.h"

#include "belcor_sim.h"
#include "model/SimDevice.h"

#include <algorithm>

namespace UsbDescriptors {
namespace {
constexpr uint8_t kTypeDevice = 1, kTypeConfig = 2, kTypeString = 3, kTypeInterface = 4, kTypeEndpoint = 5;
constexpr uint8_t kTypeHid = 0x21;
constexpr uint8_t kHidClass = 0x03;
constexpr uint16_t kFullSpeedPacket = 64;

void put16(std::vector<uint8_t>& bytes, uint16_t value)
{
    bytes.push_back(uint8_t(value));
    bytes.push_back(uint8_t(value >> 8));
}
}  // namespace

std::vector<uint8_t> device(const Identity& identity)
{
    std::vector<uint8_t> bytes{18, kTypeDevice};
    put16(bytes, 0x0200);
    bytes.insert(bytes.end(), {identity.deviceClass, 0, 0, 64});  // control packet 64
    put16(bytes, identity.vendorId);
    put16(bytes, identity.productId);
    put16(bytes, identity.release);
    bytes.insert(bytes.end(), {kManufacturerIndex, kProductIndex, kSerialIndex, 1});
    return bytes;
}

std::vector<uint8_t> configuration(const Identity& identity)
{
    const bool hid = identity.interfaceClass == kHidClass;
    const auto endpoints = uint8_t(identity.endpoints.size());
    const uint16_t total = uint16_t(9 + 9 + (hid ? 9 : 0) + 7 * endpoints);
    std::vector<uint8_t> bytes{9, kTypeConfig};
    put16(bytes, total);
    bytes.insert(bytes.end(), {1, 1, 0, 0x80, 50});
    bytes.insert(bytes.end(), {9, kTypeInterface, 0, 0, endpoints, identity.interfaceClass, 0, 0, 0});
    if (hid) {
        bytes.insert(bytes.end(), {9, kTypeHid, 0x11, 0x01, 0, 1, 0x22});
        put16(bytes, uint16_t(bootloaderReports().size()));
    }
    for (const uint8_t address : identity.endpoints) {
        bytes.insert(bytes.end(), {7, kTypeEndpoint, address, identity.endpointType});
        put16(bytes, kFullSpeedPacket);
        bytes.push_back(identity.endpointType == 3 ? 1 : 0);  // interrupt interval
    }
    return bytes;
}

std::vector<uint8_t> languages()
{
    std::vector<uint8_t> bytes{4, kTypeString};
    put16(bytes, kEnglishUs);
    return bytes;
}

std::vector<uint8_t> string(const std::u16string& text)
{
    // The length is one byte, so a descriptor holds at most 126 characters.
    const size_t units = std::min<size_t>(text.size(), 126);
    std::vector<uint8_t> bytes{uint8_t(2 + 2 * units), kTypeString};
    for (size_t i = 0; i < units; ++i)
        put16(bytes, uint16_t(text[i]));
    return bytes;
}

std::vector<uint8_t> bootloaderReports()
{
    return {0x06, 0x00, 0xFF,  // usage page: vendor defined
            0x09, 0x01, 0xA1, 0x01, 0x85, 0x01,  // usage 1, application collection, report id 1
            0x09, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02,  // 63 bytes in
            0x09, 0x03, 0x95, 0x3F, 0x91, 0x02,  // 63 bytes out
            0xC0};
}

Identity of(const SimDevice& device)
{
    Identity identity;
    identity.vendorId = BELCOR_SIM_VENDOR_ID;
    identity.productId = BELCOR_SIM_PRODUCT_ID;
    identity.endpoints = {uint8_t(device.replyEndpoint), uint8_t(device.commandEndpoint),
                          uint8_t(device.dataEndpoint)};
    return identity;
}

Identity bootloader()
{
    Identity identity;
    identity.vendorId = 0x28E9;
    identity.productId = 0x028B;
    identity.interfaceClass = kHidClass;
    identity.endpointType = 3;
    identity.endpoints = {0x81, 0x01};
    return identity;
}

Identity rootHub()
{
    Identity identity;
    identity.vendorId = 0x1D6B;
    identity.productId = 0x0002;
    identity.release = 0x0618;
    identity.deviceClass = 9;
    identity.interfaceClass = 9;
    identity.endpointType = 3;
    identity.endpoints = {0x81};
    return identity;
}

std::string hex(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const uint8_t byte : bytes) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 15]);
    }
    return text;
}

}  // namespace UsbDescriptors
