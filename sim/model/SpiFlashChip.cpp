#include "model/SpiFlashChip.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <utility>

namespace {
constexpr uint32_t kThreeByteSpace = 1u << 24;
constexpr uint8_t kWriteStatus = 0x01;
constexpr uint8_t kWriteDisable = 0x04;
constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kSectorErase = 0x20;
constexpr uint8_t kSectorErase4 = 0x21;
constexpr uint8_t kChipErase = 0x60;
constexpr uint8_t kChipEraseAlt = 0xC7;
constexpr uint8_t kEnterFourByteMode = 0xB7;
constexpr uint8_t kBlockErase = 0xD8;
constexpr uint8_t kBlockErase4 = 0xDC;
constexpr uint8_t kExitFourByteMode = 0xE9;

std::string hexByte(uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}
}

SpiFlashChip::SpiFlashChip(const ChipSpec& spec)
    : Chip(spec)
{
}

void SpiFlashChip::identify(uint8_t* reply) const
{
    reply[0] = 1;
    reply[1] = uint8_t(spec().jedecId >> 16);
    reply[2] = uint8_t(spec().jedecId >> 8);
    reply[3] = uint8_t(spec().jedecId);
}

uint32_t SpiFlashChip::addressOf(uint32_t position) const
{
    return fourByteAddressing_ ? position : position % kThreeByteSpace;
}

uint64_t SpiFlashChip::runFrom(uint32_t position) const
{
    return fourByteAddressing_ ? Chip::runFrom(position) : kThreeByteSpace - position % kThreeByteSpace;
}

uint8_t SpiFlashChip::status(uint64_t nowMs) const
{
    return uint8_t(statusBits_ | (writeEnabled_ ? kWriteEnabled : 0) | (isBusy(nowMs) ? kBusy : 0));
}

bool SpiFlashChip::busy(const ChipContext& context)
{
    if (busyUntilMs_ && context.nowMs() >= busyUntilMs_)
        busyUntilMs_ = 0;
    return busyUntilMs_ != 0;
}

void SpiFlashChip::startBusy(const ChipContext& context, uint64_t milliseconds)
{
    busyUntilMs_ = milliseconds == std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint64_t>::max()
                                                                         : context.nowMs() + milliseconds;
}

bool SpiFlashChip::isProtected(uint32_t start, uint32_t length) const
{
    const uint32_t level = (statusBits_ & kProtectionBits) >> 2;
    if (level == 0)
        return false;
    // Level 1 guards a 64th of the array, each level above doubles it, 7 all of it.
    const uint32_t guarded = level == 7 ? spec().size : spec().size >> (7 - level);
    const uint32_t guardStart = (statusBits_ & kBottomProtected) ? 0 : spec().size - guarded;
    return start < guardStart + guarded && guardStart < start + length;
}

std::string SpiFlashChip::read(uint32_t position, uint8_t* data, uint32_t length, std::optional<uint32_t> flippedBit,
                               const ChipContext& context)
{
    if (busy(context))
        return "data read while the chip is still erasing";
    return Chip::read(position, data, length, flippedBit, context);
}

std::string SpiFlashChip::program(uint32_t position, const uint8_t* data, uint32_t length, const ChipContext& context)
{
    if (busy(context))
        return "data written while the chip is still erasing";
    markWritten();
    // The firmware cuts a block into page programs of the session's page size,
    // setting the write-enable latch before each and waiting for it to finish.
    const uint32_t page = context.pageSize;
    std::string error;
    for (uint32_t offset = 0; offset < length; offset += page) {
        const uint32_t count = std::min(page, length - offset);
        const uint32_t start = addressOf(position + offset);
        if (start >= spec().size) {
            if (error.empty())
                error = "transfer reaches past the end of the chip at address " + std::to_string(start);
            continue;
        }
        firmwareWaitUs_ += kPageProgramUs;
        if (!isProtected(start, 1))
            programPage(start, data + offset, count);
    }
    writeEnabled_ = false;
    return error;
}

uint32_t SpiFlashChip::takeFirmwareWaitUs()
{
    return std::exchange(firmwareWaitUs_, 0);
}

void SpiFlashChip::programPage(uint32_t start, const uint8_t* data, uint32_t count)
{
    uint8_t* array = cells();
    const uint32_t pageSize = spec().pageSize;
    const uint32_t pageStart = start - start % pageSize;
    const uint32_t pageEnd = std::min(pageStart + pageSize, spec().size);
    // Programming can only clear bits. Past the page's end the data wraps
    // round to its start, where the next lap begins.
    uint32_t address = start;
    while (count) {
        const uint32_t run = std::min(count, pageEnd - address);
        for (uint32_t i = 0; i < run; ++i)
            array[address + i] &= data[i];
        data += run;
        count -= run;
        address = pageStart;
    }
}

std::string SpiFlashChip::erase(uint16_t parameter, const ChipContext& context)
{
    if (parameter != kChipEraseParameter)
        return "Erase parameter " + std::to_string(parameter) + " is not a chip erase";
    if (busy(context))
        return "Erase sent while the chip is still erasing";
    // The firmware sets the write-enable latch itself. A chip with any block
    // protected ignores the chip erase.
    writeEnabled_ = false;
    if ((statusBits_ & kProtectionBits) != 0)
        return {};
    eraseAll();
    startBusy(context, context.eraseTimeMs);
    return {};
}

std::string SpiFlashChip::instruct(const uint8_t* bytes, uint8_t count, const ChipContext& context)
{
    if (count == 0)
        return {};
    const uint8_t instruction = bytes[0];
    if (busy(context) && instruction != kReadStatus)
        return "instruction " + hexByte(instruction) + " sent while the chip is busy";
    switch (instruction) {
    case kEnterFourByteMode:
    case kExitFourByteMode:
        fourByteAddressing_ = instruction == kEnterFourByteMode;
        return {};
    case kWriteEnable:
    case kWriteDisable:
        writeEnabled_ = instruction == kWriteEnable;
        return {};
    case kReadStatus:
        return {};
    case kWriteStatus:
        if (count < 2)
            return "write status register without its value";
        if (!std::exchange(writeEnabled_, false))
            return "write status register without write enable";
        if ((statusBits_ & kRegisterProtected) && context.writeProtectLow)
            return {};
        setStatusRegister(bytes[1]);
        startBusy(context, kStatusWriteMs);
        return {};
    case kSectorErase:
    case kSectorErase4:
    case kBlockErase:
    case kBlockErase4:
    case kChipErase:
    case kChipEraseAlt:
        return eraseInstruction(bytes, count, context);
    default:
        return Chip::instruct(bytes, count, context);
    }
}

std::string SpiFlashChip::eraseInstruction(const uint8_t* bytes, uint8_t count, const ChipContext& context)
{
    const uint8_t instruction = bytes[0];
    const bool wholeChip = instruction == kChipErase || instruction == kChipEraseAlt;
    const bool fourAddressBytes = instruction == kSectorErase4 || instruction == kBlockErase4 || fourByteAddressing_;
    const uint8_t addressBytes = wholeChip ? 0 : (fourAddressBytes ? 4 : 3);
    if (count != 1 + addressBytes)
        return "instruction " + hexByte(instruction) + " with " + std::to_string(count - 1) + " address bytes instead of "
            + std::to_string(addressBytes);
    if (!std::exchange(writeEnabled_, false))
        return "erase instruction " + hexByte(instruction) + " without write enable";
    uint32_t address = 0;
    for (uint8_t i = 1; i < count; ++i)
        address = address << 8 | bytes[i];
    const bool sector = instruction == kSectorErase || instruction == kSectorErase4;
    const uint32_t span = wholeChip ? spec().size : (sector ? kSectorSize : kBlockSize);
    const uint32_t start = address - address % span;
    if (start >= spec().size)
        return "erase instruction " + hexByte(instruction) + " past the end of the chip at address "
            + std::to_string(address);
    const uint32_t length = std::min(span, spec().size - start);
    if (isProtected(start, length))
        return {};
    std::fill(cells() + start, cells() + start + length, 0xFF);
    startBusy(context, wholeChip ? context.eraseTimeMs : (sector ? kSectorEraseMs : kBlockEraseMs));
    return {};
}
