#include "model/Bootloader.h"

#include "model/ProtocolLog.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint8_t kReportId = 1;
constexpr size_t kDataOffset = 2;
constexpr char kVersionMark[] = "BELCORFW";
constexpr size_t kVersionMarkLength = 8;
constexpr size_t kVersionLength = 5;

uint32_t little32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}
}

void Bootloader::reset()
{
    *this = Bootloader();
}

void Bootloader::setGeometry(uint32_t startAddress, uint16_t pageSize)
{
    startAddress_ = startAddress;
    pageSize_ = pageSize;
}

void Bootloader::start()
{
    announcedLength_ = 0;
    incoming_.clear();
    replies_.clear();
}

Bootloader::Outcome Bootloader::receive(const uint8_t* report, size_t length, ProtocolLog& log)
{
    if (length < kDataOffset || report[0] != kReportId) {
        log.record("boot loader report without report id 1");
        return Outcome::Continue;
    }
    Report reply{};
    reply[0] = kReportId;
    switch (report[1]) {
    case 0x01:
        reply[1] = 0x01;
        queueReply(reply);
        break;
    case 0x05:
        for (int i = 0; i < 4; ++i)
            reply[1 + i] = uint8_t(startAddress_ >> (8 * i));
        reply[5] = uint8_t(pageSize_);
        reply[6] = uint8_t(pageSize_ >> 8);
        queueReply(reply);
        break;
    case 0x02:
        if (length < 11) {
            log.record("boot loader command 0x02 too short");
            break;
        }
        announcedLength_ = little32(report + 7);
        incoming_.clear();
        reply[1] = 0x02;
        queueReply(reply);
        break;
    case 0x03:
        incoming_.insert(incoming_.end(), report + kDataOffset, report + std::min(length, kReportSize));
        break;
    case 0x04:
        if (incoming_.size() > announcedLength_)
            incoming_.resize(announcedLength_);
        lastImage_ = std::move(incoming_);
        incoming_.clear();
        return Outcome::ImageComplete;
    default:
        log.record("unknown boot loader command " + std::to_string(report[1]));
        break;
    }
    return Outcome::Continue;
}

size_t Bootloader::takeReply(uint8_t* data, size_t length)
{
    const size_t count = std::min(length, kReportSize);
    std::memcpy(data, replies_.front().data(), count);
    replies_.pop_front();
    return count;
}

std::optional<std::string> Bootloader::carriedFirmwareVersion() const
{
    const size_t end = kVersionMarkOffset + kVersionMarkLength + kVersionLength;
    if (lastImage_.size() < end
        || std::memcmp(lastImage_.data() + kVersionMarkOffset, kVersionMark, kVersionMarkLength) != 0)
        return std::nullopt;
    const char* version = reinterpret_cast<const char*>(lastImage_.data() + kVersionMarkOffset + kVersionMarkLength);
    return std::string(version, strnlen(version, kVersionLength));
}
