#include "model/I2cEepromChip.h"

#include <algorithm>
#include <vector>

std::string I2cEepromChip::program(uint32_t position, const uint8_t* data, uint32_t length, const ChipContext& context)
{
    markWritten();
    // The firmware cuts the block where the session's pages end; a session
    // page larger than the chip's makes the chip wrap inside its own page.
    const uint32_t sessionPage = context.pageSize;
    uint32_t done = 0;
    while (done < length) {
        const uint32_t address = addressOf(position + done);
        const uint32_t count = std::min({length - done, sessionPage - address % sessionPage, spec().size - address});
        writePage(address, data + done, count, context);
        done += count;
    }
    return {};
}

std::string I2cEepromChip::erase(uint16_t parameter, const ChipContext& context)
{
    const uint32_t page = context.pageSize;
    const uint32_t start = parameter - parameter % page;
    if (start >= spec().size)
        return "Erase of page " + std::to_string(parameter) + " past the end of the chip";
    // The firmware blanks the page with one page write of 0xFF bytes.
    const std::vector<uint8_t> erased(std::min(page, spec().size - start), 0xFF);
    writePage(start, erased.data(), uint32_t(erased.size()), context);
    return {};
}

std::string I2cEepromChip::readRefusal(const ChipContext& context) const
{
    const uint64_t nowMs = context.nowMs();
    if (!isBusy(nowMs))
        return {};
    return "data read during the EEPROM's write cycle, " + std::to_string(busyUntilMs_ - nowMs) + " ms before its end";
}

void I2cEepromChip::writePage(uint32_t address, const uint8_t* data, uint32_t count, const ChipContext& context)
{
    // Acknowledge polling: the chip takes nothing until its last write cycle ended.
    context.waitUntilMs(busyUntilMs_);
    const uint32_t page = spec().pageSize;
    const uint32_t base = address - address % page;
    for (uint32_t i = 0; i < count; ++i)
        cells()[(base + (address - base + i) % page) % spec().size] = data[i];
    busyUntilMs_ = context.nowMs() + kWriteCycleMs;
}
