#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class ProtocolLog;

// The HID boot loader the programmer turns into for a firmware upgrade.
// Reports are 64 bytes: report id 1, then the command, values low byte first.
//   0x01           -> one reply
//   0x05           -> reply: start address (bytes 1-4), page size (bytes 5-6)
//   0x02 A P L     -> start address (2-5), page count (6), image length (7-10); one reply
//   0x03 data      -> the next 62 image bytes (2-63); no reply
//   0x04           -> the image is complete (cut to L); no reply
// An image that carries the 8 bytes "BELCORFW" at image offset 0x200 names the
// firmware version it installs in the 5 bytes after them.
class Bootloader {
public:
    static constexpr size_t kReportSize = 64;
    static constexpr uint32_t kDefaultStartAddress = 0x08003000;
    static constexpr uint16_t kDefaultPageSize = 1024;
    static constexpr uint32_t kVersionMarkOffset = 0x200;

    enum class Outcome { Continue, ImageComplete };

    void reset();
    void setGeometry(uint32_t startAddress, uint16_t pageSize);
    // Forgets an unfinished upgrade, as a fresh start of the boot loader does.
    void start();

    Outcome receive(const uint8_t* report, size_t length, ProtocolLog& log);
    bool hasReply() const { return !replies_.empty(); }
    size_t takeReply(uint8_t* data, size_t length);

    const std::vector<uint8_t>& lastImage() const { return lastImage_; }
    // The firmware version the last completed image carries, if it names one.
    std::optional<std::string> carriedFirmwareVersion() const;

private:
    using Report = std::array<uint8_t, kReportSize>;
    void queueReply(const Report& reply) { replies_.push_back(reply); }

    uint32_t startAddress_ = kDefaultStartAddress;
    uint16_t pageSize_ = kDefaultPageSize;
    uint32_t announcedLength_ = 0;
    std::vector<uint8_t> incoming_;
    std::vector<uint8_t> lastImage_;
    std::deque<Report> replies_;
};
