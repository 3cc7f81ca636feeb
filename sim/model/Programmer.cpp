#include "model/Programmer.h"

#include "model/FaultPlan.h"
#include "model/ProtocolLog.h"
#include "model/SimClock.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
constexpr int kMaxChipCommandBytes = Programmer::kBlockSize - 4;

// Offsets of the hardware information texts in the GetHardwareInfo reply.
constexpr int kHardwareOffset = 42, kHardwareLength = 4;
constexpr int kFirmwareOffset = 46, kFirmwareLength = 5;
constexpr int kSerialOffset = 51, kSerialLength = 13;

void putText(uint8_t* reply, int offset, int capacity, const std::string& text)
{
    std::memcpy(reply + offset, text.data(), std::min<size_t>(text.size(), size_t(capacity)));
}
}

Programmer::Programmer(SimClock& clock, ProtocolLog& log, const FaultPlan& faults, bool bigEndianFields)
    : clock_(clock)
    , log_(log)
    , faults_(faults)
    , bigEndianFields_(bigEndianFields)
{
}

uint16_t Programmer::field16(const uint8_t* block, int offset) const
{
    const uint16_t first = block[offset], second = block[offset + 1];
    return bigEndianFields_ ? uint16_t(first << 8 | second) : uint16_t(second << 8 | first);
}

uint32_t Programmer::field32(const uint8_t* block, int offset) const
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const int index = bigEndianFields_ ? offset + i : offset + 3 - i;
        value = value << 8 | block[index];
    }
    return value;
}

ChipContext Programmer::chipContext() const
{
    ChipContext context;
    context.pageSize = inSession_ && session_.flashPage ? session_.flashPage : chip_->spec().pageSize;
    context.clock = &clock_;
    context.eraseTimeMs = eraseTimeMs_;
    context.writeProtectLow = writeProtectLow_;
    return context;
}

void Programmer::startReply(uint8_t opcode)
{
    reply_.fill(0);
    reply_[1] = opcode;
    replyPending_ = true;
}

void Programmer::report(const std::string& error)
{
    if (!error.empty())
        log_.record(error);
}

bool Programmer::needsChip(const char* what)
{
    if (chip_)
        return true;
    report(std::string(what) + " with an empty socket");
    return false;
}

bool Programmer::needsAddress(const char* what)
{
    if (pointerSet_)
        return true;
    report(std::string(what) + " before any SetAddress");
    return false;
}

void Programmer::receiveCommand(const uint8_t* block, int length)
{
    // A new command replaces a reply the host chose not to read.
    replyPending_ = false;
    if (length != kBlockSize) {
        report("command block of " + std::to_string(length) + " bytes");
        return;
    }
    const uint8_t opcode = block[1];
    switch (opcode) {
    case Erase:
        if (needsChip("Erase"))
            report(chip_->erase(field16(block, 26), chipContext()));
        break;
    case SetAddress:
        pointer_ = field32(block, 8);
        pointerSet_ = true;
        startReply(opcode);
        break;
    case BeginSession:
        session_.chipClass = block[2];
        session_.algorithm = block[3];
        session_.flashPage = field16(block, 4);
        session_.delay = field16(block, 6);
        session_.flashSize = field32(block, 8);
        session_.chipId = field32(block, 12);
        session_.speed = block[16];
        session_.voltage = block[28];
        inSession_ = true;
        sessionWrote_ = false;
        pointerSet_ = false;
        if (chip_)
            chip_->endSession();
        startReply(opcode);
        break;
    case EndSession:
        if (chip_)
            chip_->endSession();
        if (sessionWrote_ && chip_)
            finishedAtMs_ = clock_.nowMs();
        inSession_ = false;
        sessionWrote_ = false;
        pointerSet_ = false;
        break;
    case Identify:
        startReply(opcode);
        if (chip_)
            chip_->identify(reply_.data());
        else
            reply_[0] = 0;
        break;
    case PollStatus:
        startReply(opcode);
        reply_[0] = chip_ ? chip_->status(clock_.nowMs()) : 0;
        break;
    case ChipCommand:
        startReply(opcode);
        if (block[3] > kMaxChipCommandBytes)
            report("ChipCommand with " + std::to_string(block[3]) + " chip bytes");
        else if (needsChip("ChipCommand"))
            report(chip_->instruct(block + 4, block[3], chipContext()));
        break;
    case GetHardwareInfo:
        startReply(opcode);
        fillHardwareInfo();
        break;
    case EnterUpgrade:
        startReply(opcode);
        upgradeRequested_ = true;
        break;
    default:
        report("unknown opcode " + std::to_string(opcode));
        break;
    }
}

void Programmer::fillHardwareInfo()
{
    putText(reply_.data(), kHardwareOffset, kHardwareLength, versions_.hardware);
    putText(reply_.data(), kFirmwareOffset, kFirmwareLength, versions_.firmware);
    putText(reply_.data(), kSerialOffset, kSerialLength, versions_.serial);
}

int Programmer::takeReply(uint8_t* data, int length)
{
    const int count = std::min(length, kBlockSize);
    std::memcpy(data, reply_.data(), size_t(count));
    replyPending_ = false;
    return count;
}

void Programmer::readData(uint8_t* data, uint32_t length)
{
    const uint32_t start = pointer_;
    pointer_ += length;
    std::memset(data, 0xFF, length);
    if (!needsAddress("data read") || !needsChip("data read"))
        return;
    const ChipContext context = chipContext();
    if (const std::string refusal = chip_->readRefusal(context); !refusal.empty()) {
        report(refusal);
        return;
    }
    report(chip_->read(start, data, length, faults_.flipAddress(), context));
}

void Programmer::writeData(const uint8_t* data, uint32_t length)
{
    // Data sent after a SetAddress without reply: the reply is not wanted.
    replyPending_ = false;
    const uint32_t start = pointer_;
    pointer_ += length;
    if (!needsAddress("data write") || !needsChip("data write"))
        return;
    report(chip_->program(start, data, length, chipContext()));
    sessionWrote_ = true;
    // The firmware answers the next transfer only once the chip has finished.
    firmwareWaitUs_ += chip_->takeFirmwareWaitUs();
    clock_.advance(firmwareWaitUs_ / 1000);
    firmwareWaitUs_ %= 1000;
    if (const std::optional<uint32_t> stuck = faults_.stuckAddress(); stuck && *stuck < chip_->spec().size)
        chip_->cells()[*stuck] |= 1;
    if (const std::optional<uint32_t> dead = chip_->deadCell(); dead && *dead < chip_->spec().size)
        chip_->cells()[*dead] = 0xFF;
}

void Programmer::seatChip(std::unique_ptr<Chip> chip)
{
    chip_ = std::move(chip);
    finishedAtMs_.reset();
    sessionWrote_ = false;
}

void Programmer::removeChip()
{
    chip_.reset();
    finishedAtMs_.reset();
    sessionWrote_ = false;
}

std::optional<uint64_t> Programmer::takeFinishedChip()
{
    return std::exchange(finishedAtMs_, std::nullopt);
}
