#include "model/Chip.h"

#include "model/I2cEepromChip.h"
#include "model/MicrowireEepromChip.h"
#include "model/SimClock.h"
#include "model/SpiFlashChip.h"

#include <cstring>
#include <utility>

uint64_t ChipContext::nowMs() const
{
    return clock->nowMs();
}

void ChipContext::waitUntilMs(uint64_t ms) const
{
    const uint64_t now = clock->nowMs();
    if (ms > now)
        clock->advance(uint32_t(ms - now));
}

bool Chip::isPossible(const ChipSpec& spec)
{
    return spec.chipClass >= 0 && spec.chipClass <= 4 && spec.size > 0 && spec.size <= kMaxSize
        && spec.pageSize > 0 && spec.pageSize <= 256;
}

std::unique_ptr<Chip> Chip::create(const ChipSpec& spec)
{
    if (!isPossible(spec))
        return nullptr;
    switch (spec.chipClass) {
    case 0:
        return std::make_unique<SpiFlashChip>(spec);
    case 1:
        return std::make_unique<I2cEepromChip>(spec);
    case 2:
        return std::make_unique<MicrowireEepromChip>(spec);
    case 3:
    case 4:
        return std::make_unique<Chip>(spec);
    default:
        return nullptr;
    }
}

Chip::Chip(const ChipSpec& spec)
    : spec_(spec)
{
}

uint8_t* Chip::cells()
{
    return const_cast<uint8_t*>(std::as_const(*this).cells());
}

const uint8_t* Chip::cells() const
{
    if (cells_.empty())
        cells_.assign(spec_.size, 0xFF);
    return cells_.data();
}

void Chip::eraseAll()
{
    cells_.clear();
    cells_.shrink_to_fit();
}

void Chip::identify(uint8_t* reply) const
{
    // Families other than the serial flash can only be told present, by a
    // code one above their class.
    reply[0] = uint8_t(spec_.chipClass + 1);
    reply[1] = reply[2] = reply[3] = 0;
}

std::string Chip::read(uint32_t position, uint8_t* data, uint32_t length, std::optional<uint32_t> flippedBit,
                       const ChipContext&)
{
    return forEachRun(position, length, [&](uint32_t address, uint32_t offset, uint32_t count) {
        if (cells_.empty())
            std::memset(data + offset, 0xFF, count);
        else
            std::memcpy(data + offset, cells_.data() + address, count);
        if (flippedBit && *flippedBit >= address && *flippedBit - address < count)
            data[offset + (*flippedBit - address)] ^= 1;
    });
}

std::string Chip::program(uint32_t position, const uint8_t* data, uint32_t length, const ChipContext&)
{
    markWritten();
    return forEachRun(position, length, [&](uint32_t address, uint32_t offset, uint32_t count) {
        std::memcpy(cells() + address, data + offset, count);
    });
}

std::string Chip::erase(uint16_t, const ChipContext&)
{
    return "Erase sent to a chip of class " + std::to_string(spec_.chipClass) + ", which has no erase command";
}

std::string Chip::instruct(const uint8_t* bytes, uint8_t count, const ChipContext&)
{
    if (count == 0)
        return {};
    return "chip instruction " + std::to_string(bytes[0]) + " sent to a chip of class "
        + std::to_string(spec_.chipClass);
}
