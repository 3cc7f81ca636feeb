#pragma once

#include "model/Chip.h"

// 24-series I2C EEPROM: writes replace bytes, a page at a time. A page write
// keeps the chip busy for its write cycle, in which it answers nothing: the
// firmware waits for it between the pages it writes, but a data read in that
// time is lost. Bytes written past the end of a page wrap round to its start,
// and addresses past the end of the chip wrap round to 0, as the chip's own
// address counter does. Erase blanks one page, named by the low 16 bits of
// its address.
class I2cEepromChip : public Chip {
public:
    static constexpr uint32_t kWriteCycleMs = 5;

    using Chip::Chip;

    uint32_t addressOf(uint32_t position) const override { return position % spec().size; }
    uint64_t runFrom(uint32_t position) const override { return spec().size - position % spec().size; }
    std::string program(uint32_t position, const uint8_t* data, uint32_t length, const ChipContext& context) override;
    std::string erase(uint16_t parameter, const ChipContext& context) override;
    bool isBusy(uint64_t nowMs) const override { return nowMs < busyUntilMs_; }
    std::string readRefusal(const ChipContext& context) const override;

private:
    // One page write as the firmware sends it, after waiting for the write
    // cycle before: the bytes land inside the chip's page of `address`.
    void writePage(uint32_t address, const uint8_t* data, uint32_t count, const ChipContext& context);

    uint64_t busyUntilMs_ = 0;
};
