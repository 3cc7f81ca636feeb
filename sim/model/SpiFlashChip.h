#pragma once

#include "model/Chip.h"

// 25-series SPI NOR flash: programming only clears bits, a page program wraps
// inside the chip's own page, and without the 0xB7 instruction only 24
// address bits reach the chip. Program and erase need the write-enable latch:
// the firmware's own Erase and data writes set it themselves, raw instructions
// through ChipCommand must send 0x06 first. Erases (chip, 4 KiB sector, 64 KiB
// block) and status register writes keep the chip busy; the block protection
// bits of the status register make program and erase of the protected part
// do nothing, silently, as real parts do; so does a status register write
// while SRP is set and the programmer holds WP low.
class SpiFlashChip : public Chip {
public:
    static constexpr uint16_t kChipEraseParameter = 0x8000;
    static constexpr uint32_t kSectorSize = 4096;
    static constexpr uint32_t kBlockSize = 65536;
    // Typical datasheet times of a 25-series part.
    static constexpr uint32_t kSectorEraseMs = 45;
    static constexpr uint32_t kBlockEraseMs = 150;
    static constexpr uint32_t kStatusWriteMs = 10;
    static constexpr uint32_t kPageProgramUs = 700;

    // Status register bits.
    static constexpr uint8_t kBusy = 0x01;
    static constexpr uint8_t kWriteEnabled = 0x02;
    static constexpr uint8_t kProtectionBits = 0x1C;  // BP0..BP2
    static constexpr uint8_t kBottomProtected = 0x20;  // TB: count the protected part from address 0
    static constexpr uint8_t kRegisterProtected = 0x80;  // SRP: with WP held low, the register is locked

    explicit SpiFlashChip(const ChipSpec& spec);

    void identify(uint8_t* reply) const override;
    uint32_t addressOf(uint32_t position) const override;
    uint64_t runFrom(uint32_t position) const override;
    std::string read(uint32_t position, uint8_t* data, uint32_t length, std::optional<uint32_t> flippedBit,
                     const ChipContext& context) override;
    std::string program(uint32_t position, const uint8_t* data, uint32_t length, const ChipContext& context) override;
    std::string erase(uint16_t parameter, const ChipContext& context) override;
    bool isBusy(uint64_t nowMs) const override { return nowMs < busyUntilMs_; }
    uint8_t status(uint64_t nowMs) const override;
    std::string instruct(const uint8_t* bytes, uint8_t count, const ChipContext& context) override;
    uint32_t takeFirmwareWaitUs() override;
    void endSession() override { fourByteAddressing_ = false; }

    // The non-volatile bits 2..7, as a previous tool may have left them.
    void setStatusRegister(uint8_t value) { statusBits_ = value & 0xFC; }

private:
    bool busy(const ChipContext& context);
    void startBusy(const ChipContext& context, uint64_t milliseconds);
    bool isProtected(uint32_t start, uint32_t length) const;
    std::string eraseInstruction(const uint8_t* bytes, uint8_t count, const ChipContext& context);
    void programPage(uint32_t start, const uint8_t* data, uint32_t count);

    bool fourByteAddressing_ = false;
    bool writeEnabled_ = false;
    uint8_t statusBits_ = 0;
    uint64_t busyUntilMs_ = 0;  // 0 once the chip is known to be ready
    uint32_t firmwareWaitUs_ = 0;
};
