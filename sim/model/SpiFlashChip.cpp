#include "model/SpiFlashChip.h"

#include <limits>

namespace {
constexpr uint32_t kThreeByteSpace = 1u << 24;
constexpr uint8_t kEnterFourByteMode = 0xB7;
constexpr uint8_t kExitFourByteMode = 0xE9;
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

std::string SpiFlashChip::program(uint32_t position, const uint8_t* data, uint32_t length, const ChipContext& context)
{
    if (erasing(context))
        return "data written while the chip erase is still running";
    markWritten();
    // The firmware cuts a block into page programs; each one that starts
    // inside a page wraps round to that page's start, as the chip does.
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
        programPage(start, data + offset, count, page);
    }
    return error;
}

bool SpiFlashChip::erasing(const ChipContext& context)
{
    if (busyUntilMs_ && context.nowMs() >= busyUntilMs_)
        busyUntilMs_ = 0;
    return busyUntilMs_ != 0;
}

void SpiFlashChip::programPage(uint32_t start, const uint8_t* data, uint32_t count, uint32_t pageSize)
{
    uint8_t* array = cells();
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
    if (erasing(context))
        return "Erase sent while the chip erase is still running";
    std::fill(cells(), cells() + spec().size, 0xFF);
    busyUntilMs_ = context.eraseTimeMs == std::numeric_limits<uint32_t>::max()
        ? std::numeric_limits<uint64_t>::max()
        : context.nowMs() + context.eraseTimeMs;
    return {};
}

std::string SpiFlashChip::instruct(const uint8_t* bytes, uint8_t count)
{
    if (count == 1 && bytes[0] == kEnterFourByteMode) {
        fourByteAddressing_ = true;
        return {};
    }
    if (count == 1 && bytes[0] == kExitFourByteMode) {
        fourByteAddressing_ = false;
        return {};
    }
    return Chip::instruct(bytes, count);
}
