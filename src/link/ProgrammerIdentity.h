#pragma once

#include <string_view>

// How the application recognises its programmer on the USB buses. The
// manufacturer text is the maker's web domain, as the programmer reports it.
namespace ProgrammerIdentity {
constexpr int VendorId = 0x1FC8;
constexpr int ProductId = 0x300B;
constexpr std::string_view Manufacturer = "www.belcor.example";
constexpr std::string_view Product = "ZudEZEZez";
}  // namespace ProgrammerIdentity
