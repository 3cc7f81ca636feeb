#pragma once

#include "model/Chip.h"

// 25-series SPI NOR flash: programming only clears bits, a page program wraps
// inside its page, a chip erase keeps the chip busy for a while, and without
// the 0xB7 instruction only 24 address bits reach the chip.
class SpiFlashChip : public Chip {
public:
    explicit SpiFlashChip(const ChipSpec& spec);

    void identify(uint8_t* reply) const override;
    uint32_t addressOf(uint32_t position) const override;
    uint64_t runFrom(uint32_t position) const override;
    std::string program(uint32_t position, const uint8_t* data, uint32_t length, const ChipContext& context) override;
    std::string erase(uint16_t parameter, const ChipContext& context) override;
    bool isBusy(uint64_t nowMs) const override { return nowMs < busyUntilMs_; }
    std::string instruct(const uint8_t* bytes, uint8_t count) override;
    void endSession() override { fourByteAddressing_ = false; }

    static constexpr uint16_t kChipEraseParameter = 0x8000;

private:
    bool erasing(const ChipContext& context);
    void programPage(uint32_t start, const uint8_t* data, uint32_t count, uint32_t pageSize);

    bool fourByteAddressing_ = false;
    uint64_t busyUntilMs_ = 0;  // 0 once an erase is known to have ended
};
