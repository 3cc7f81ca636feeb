#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/MessageCatalogue.h"

class OperationHost;
struct Workbench;

// Upgrades the programmer's firmware from a firmware file: switches the
// programmer into its boot loader over the bulk link, then sends the image to
// the boot loader in 64-byte HID reports (report id 1 in byte 0, the command
// in byte 1, multi-byte values least significant byte first).
class FirmwareUpgrade {
public:
    // The file is read whole into a block of this size, filled with 0xFF first.
    static constexpr uint32_t BlockSize = 0x100000;
    // The first bytes of a firmware file are not part of the image sent.
    static constexpr uint32_t ImageOffset = 0x3000;
    static constexpr uint32_t BytesPerDataReport = 62;
    static constexpr int BootLoaderAttempts = 500;
    static constexpr uint32_t AttemptPauseMs = 100;
    static constexpr uint32_t PauseBeforeDataMs = 100;
    static constexpr size_t ReportSize = 64;

    // Commands of the boot loader (byte 1 of a report).
    enum Command : uint8_t { Connect = 0x01, Prepare = 0x02, Data = 0x03, Finish = 0x04, Layout = 0x05 };

    FirmwareUpgrade(Workbench& bench, OperationHost& host);

    // The whole upgrade. Every failure is shown to the user once; the result
    // says whether the boot loader took the whole image.
    bool run(const std::string& path);

private:
    using Report = std::array<uint8_t, ReportSize>;

    bool upgrade(const std::string& path);
    bool loadImage(const std::string& path);
    void enterBootLoader();
    bool findBootLoader();
    bool sendImage();
    bool exchange(const Report& report, bool withReply);
    Report dataReport(uint32_t imageOffset) const;
    static Report commandReport(Command command);
    bool fail(Msg message);

    Workbench& bench_;
    OperationHost& host_;
    std::vector<uint8_t> block_;
    uint32_t length_ = 0;
    Report reply_{};
};

// The command's entry: see FirmwareUpgrade::run.
bool UpgradeFirmware(Workbench& bench, OperationHost& host, const std::string& path);
