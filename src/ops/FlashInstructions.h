#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/MessageCatalogue.h"
#include "core/Outcome.h"

struct ChipRecord;
struct Workbench;
class OperationHost;

// A serial flash (class 0) reached below the programmer's own operations: raw
// instructions that ChipCommand passes to the chip, and the status register
// that PollStatus returns in reply byte 0. All need an open session.

namespace FlashStatus {
constexpr uint8_t Busy = 0x01;
constexpr uint8_t ProtectionBits = 0x1C;  // BP0..BP2 on common parts
}

// What an erase instruction covers.
enum class EraseUnit { Sector, Block };  // 4 KiB, 64 KiB
constexpr uint32_t SectorBytes = 4096;
constexpr uint32_t EraseBlockBytes = 65536;

// PollStatus; `status` receives reply byte 0. Result of the exchange's last transfer.
int ReadFlashStatus(Workbench& workbench, uint8_t& status);

// Write enable (0x06), then `instruction`. Neither reply holds anything to
// examine, so neither is waited for. Result of the last transfer.
int SendWithWriteEnable(Workbench& workbench, std::span<const uint8_t> instruction);

// Sector erase (0x20) or 64 KiB block erase (0xD8) of the unit at `address`,
// with four address bytes on chips above 16 MiB, which the streams have put
// into four-byte mode.
std::vector<uint8_t> EraseInstruction(const ChipRecord& chip, EraseUnit unit, uint32_t address);

// How long to wait for a busy chip, and what to say when it fails.
struct BusyWait {
    uint32_t firstWaitMs = 0;  // before the first poll
    uint32_t allowanceMs = 0;  // polls go on this long
    Msg lostReply;             // a poll's reply lost, at `address`
    Msg timedOut;              // still busy after the allowance; %1 the status register
    uint32_t address = 0;
};

// Polls the busy bit until it clears; `status` keeps the last reply.
Outcome WaitWhileBusy(Workbench& workbench, OperationHost& host, const BusyWait& wait, uint8_t& status);

// Before Update programs anything: a serial flash whose status register
// shows block protection fails with a message naming it, since its program
// and erase would do nothing and surface only as a verify mismatch. Other
// families pass without an exchange.
Outcome RefuseIfProtected(Workbench& workbench, const ChipRecord& chip);

// After a failed Write or AUTO: one status poll of a serial flash, and the
// same message when block protection is the likely cause; empty for other
// families, an unprotected chip or a lost reply.
std::string ProtectionHint(Workbench& workbench, const ChipRecord& chip);

// The status register as the messages show it, e.g. "1Ch".
std::string StatusText(uint8_t status);
