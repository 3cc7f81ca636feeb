#pragma once

#include <string>

class TUsbBulk;

// The programmer's own description of itself: hardware version, firmware
// version and serial number, as 8-bit texts.
struct HardwareInfo {
    std::string hardware;
    std::string firmware;
    std::string serial;

    // Asks the programmer over the bulk link (open, GetHardwareInfo, close).
    // Returns false, leaving `info` untouched, when the programmer cannot be
    // opened or its reply does not arrive.
    static bool query(TUsbBulk& link, HardwareInfo& info);
};
