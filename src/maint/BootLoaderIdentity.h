#pragma once

#include <cstdint>

// How the programmer's boot loader shows itself once the programmer has been
// switched into firmware-update mode: a HID device of the chip maker's.
namespace BootLoaderIdentity {
constexpr uint16_t VendorId = 0x28E9;
constexpr uint16_t ProductId = 0x028B;
constexpr const char* Manufacturer = "GigaDevice";
constexpr const char* Product = "GD32 USB IAP in FS Mode";
}  // namespace BootLoaderIdentity
