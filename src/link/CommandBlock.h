#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "link/ChipParameters.h"

// Order of the 16- and 32-bit fields of a command on the wire. The application's
// programmer layout (reply endpoint 0x82) takes them most significant byte
// first; the "WinUSB1" layout least significant byte first.
enum class ByteOrder { MsbFirst, LsbFirst };

// One 64-byte command block, and the programmer's reply read into the same
// bytes. Every builder starts from 64 zero bytes; fields are given as plain
// numbers and laid out in the order the link's layout asks for.
class CommandBlock {
public:
    static constexpr int Size = 64;

    enum Opcode : uint8_t {
        Erase = 2,
        SetAddress = 5,
        BeginSession = 7,
        EndSession = 8,
        Identify = 9,
        PollStatus = 10,
        ChipCommand = 11,
        GetHardwareInfo = 12,
        EnterUpgrade = 13,
    };

    // Byte 0 of an Identify reply.
    enum DetectionCode : uint8_t {
        SerialFlashAnswered = 1,  // class 0 chip; bytes 1-3 hold its id
        I2cEepromPresent = 2,     // class 1
        MicrowireEepromPresent = 3,  // class 2
    };

    // Offsets of the fields.
    static constexpr size_t ControlOffset = 0;
    static constexpr size_t OpcodeOffset = 1;
    static constexpr size_t ClassOffset = 2;
    static constexpr size_t AlgorithmOffset = 3;
    static constexpr size_t PageOffset = 4;
    static constexpr size_t DelayOffset = 6;
    static constexpr size_t SizeOffset = 8;
    static constexpr size_t AddressOffset = 8;
    static constexpr size_t ChipIdOffset = 12;
    static constexpr size_t SpeedOffset = 16;
    static constexpr size_t EraseParameterOffset = 26;
    static constexpr size_t VoltageOffset = 28;
    static constexpr size_t ChipBytesOffset = 4;
    static constexpr size_t MaxChipBytes = Size - ChipBytesOffset;

    // The order for a link whose reply endpoint is `replyEndpoint`.
    static ByteOrder byteOrderFor(int replyEndpoint);

    CommandBlock() = default;

    static CommandBlock erase(uint16_t parameter, ByteOrder order);
    static CommandBlock setAddress(uint32_t address, ByteOrder order);
    static CommandBlock beginSession(const ChipParameters& chip, ByteOrder order);
    static CommandBlock endSession();
    static CommandBlock identify(const ChipParameters& chip, ByteOrder order);
    // Raw bytes for the chip, in their own order; more than MaxChipBytes are cut.
    static CommandBlock chipCommand(std::span<const uint8_t> chipBytes);
    static CommandBlock getHardwareInfo();

    // PollStatus and EnterUpgrade reuse the block of the exchange before them:
    // only bytes 0 and 1 change, the rest keeps what that block last held.
    void reuseForPollStatus();
    void reuseForEnterUpgrade();

    uint8_t* data() { return bytes_.data(); }
    const uint8_t* data() const { return bytes_.data(); }
    uint8_t operator[](size_t offset) const { return bytes_[offset]; }
    const std::array<uint8_t, Size>& bytes() const { return bytes_; }

    void setByte(size_t offset, uint8_t value) { bytes_[offset] = value; }
    void setU16(size_t offset, uint16_t value, ByteOrder order);
    void setU32(size_t offset, uint32_t value, ByteOrder order);
    uint32_t u32At(size_t offset, ByteOrder order) const;

    // Reply accessors.
    uint8_t detectionCode() const { return bytes_[0]; }
    // Identification value of an Identify reply, bytes 1-3 most significant first.
    uint32_t identificationValue() const;
    // PollStatus reply: the chip is still busy.
    bool chipBusy() const { return (bytes_[0] & 1) != 0; }
    // GetHardwareInfo reply texts, each ending at its field's end or at an
    // earlier zero byte.
    std::string hardwareVersion() const;  // bytes 42-45
    std::string firmwareVersion() const;  // bytes 46-50
    std::string serialNumber() const;     // bytes 51-63

private:
    static CommandBlock header(uint8_t control, Opcode opcode);
    void setHeader(uint8_t control, Opcode opcode);
    void setChipParameters(const ChipParameters& chip, ByteOrder order);
    std::string textField(size_t offset, size_t length) const;

    std::array<uint8_t, Size> bytes_{};
};
