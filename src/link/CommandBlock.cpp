#include "link/CommandBlock.h"

#include <algorithm>

namespace {

constexpr int MsbFirstReplyEndpoint = 0x82;

constexpr size_t HardwareVersionOffset = 42;
constexpr size_t FirmwareVersionOffset = 46;
constexpr size_t SerialNumberOffset = 51;

}  // namespace

ByteOrder CommandBlock::byteOrderFor(int replyEndpoint)
{
    return replyEndpoint == MsbFirstReplyEndpoint ? ByteOrder::MsbFirst : ByteOrder::LsbFirst;
}

CommandBlock CommandBlock::header(uint8_t control, Opcode opcode)
{
    CommandBlock block;
    block.setHeader(control, opcode);
    return block;
}

void CommandBlock::setHeader(uint8_t control, Opcode opcode)
{
    bytes_[ControlOffset] = control;
    bytes_[OpcodeOffset] = opcode;
}

CommandBlock CommandBlock::erase(uint16_t parameter, ByteOrder order)
{
    CommandBlock block = header(1, Erase);
    block.setU16(EraseParameterOffset, parameter, order);
    return block;
}

CommandBlock CommandBlock::setAddress(uint32_t address, ByteOrder order)
{
    CommandBlock block = header(0, SetAddress);
    block.setU32(AddressOffset, address, order);
    return block;
}

CommandBlock CommandBlock::beginSession(const ChipParameters& chip, ByteOrder order)
{
    CommandBlock block = header(0, BeginSession);
    block.setChipParameters(chip, order);
    return block;
}

CommandBlock CommandBlock::endSession()
{
    return header(1, EndSession);
}

CommandBlock CommandBlock::identify(const ChipParameters& chip, ByteOrder order)
{
    CommandBlock block = header(0, Identify);
    block.setChipParameters(chip, order);
    return block;
}

CommandBlock CommandBlock::chipCommand(std::span<const uint8_t> chipBytes)
{
    // The constant 3 is what the programmer expects for raw chip bytes.
    CommandBlock block = header(0, ChipCommand);
    const size_t count = std::min(chipBytes.size(), MaxChipBytes);
    block.bytes_[ClassOffset] = 3;
    block.bytes_[AlgorithmOffset] = uint8_t(count);
    std::copy_n(chipBytes.begin(), count, block.bytes_.begin() + ChipBytesOffset);
    return block;
}

CommandBlock CommandBlock::getHardwareInfo()
{
    return header(0, GetHardwareInfo);
}

void CommandBlock::reuseForPollStatus()
{
    setHeader(0, PollStatus);
}

void CommandBlock::reuseForEnterUpgrade()
{
    setHeader(0, EnterUpgrade);
}

void CommandBlock::setChipParameters(const ChipParameters& chip, ByteOrder order)
{
    bytes_[ClassOffset] = chip.chipClass;
    bytes_[AlgorithmOffset] = chip.algorithm;
    setU16(PageOffset, chip.flashPage, order);
    setU16(DelayOffset, chip.delay, order);
    setU32(SizeOffset, chip.flashSize, order);
    setU32(ChipIdOffset, chip.chipId, order);
    bytes_[SpeedOffset] = chip.speed;
    bytes_[VoltageOffset] = chip.voltage;
}

void CommandBlock::setU16(size_t offset, uint16_t value, ByteOrder order)
{
    const uint8_t high = uint8_t(value >> 8);
    const uint8_t low = uint8_t(value);
    bytes_[offset] = order == ByteOrder::MsbFirst ? high : low;
    bytes_[offset + 1] = order == ByteOrder::MsbFirst ? low : high;
}

void CommandBlock::setU32(size_t offset, uint32_t value, ByteOrder order)
{
    for (size_t i = 0; i < 4; ++i) {
        const size_t shift = order == ByteOrder::MsbFirst ? 8 * (3 - i) : 8 * i;
        bytes_[offset + i] = uint8_t(value >> shift);
    }
}

uint32_t CommandBlock::u32At(size_t offset, ByteOrder order) const
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        const size_t shift = order == ByteOrder::MsbFirst ? 8 * (3 - i) : 8 * i;
        value |= uint32_t(bytes_[offset + i]) << shift;
    }
    return value;
}

uint32_t CommandBlock::identificationValue() const
{
    return uint32_t(bytes_[1]) << 16 | uint32_t(bytes_[2]) << 8 | bytes_[3];
}

std::string CommandBlock::hardwareVersion() const
{
    return textField(HardwareVersionOffset, FirmwareVersionOffset - HardwareVersionOffset);
}

std::string CommandBlock::firmwareVersion() const
{
    return textField(FirmwareVersionOffset, SerialNumberOffset - FirmwareVersionOffset);
}

std::string CommandBlock::serialNumber() const
{
    return textField(SerialNumberOffset, Size - SerialNumberOffset);
}

std::string CommandBlock::textField(size_t offset, size_t length) const
{
    const auto begin = bytes_.begin() + offset;
    return std::string(begin, std::find(begin, begin + length, 0));
}
