#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/MessageCatalogue.h"
#include "core/Outcome.h"

struct ChipRecord;
struct Workbench;
class OperationHost;

// The status register of a 25-series flash, bit by bit. The chip database
// holds no bit layout, so every part is read with the common one: BUSY, WEL,
// BP0-BP2, TB, SEC, SRP from bit 0 up.
struct StatusBit {
    uint8_t bit;  // 0 = the lowest
    const char* name;
    Msg meaning;
    bool protects;  // set, it blocks program or erase of part of the chip

    uint8_t mask() const { return uint8_t(1u << bit); }
};

std::span<const StatusBit> StatusBitsOf(const ChipRecord& chip);

// The names of the set bits, e.g. "BP0, BP1"; only those that block program
// or erase when `protectionOnly`.
std::string StatusBitNames(const ChipRecord& chip, uint8_t status, bool protectionOnly);

// The register as failure texts show it: "1Ch: BP0, BP1, BP2" when bits that
// protect are set, else just "00h".
std::string ProtectionStatusText(const ChipRecord& chip, uint8_t status);

// The register with every bit that protects set, and SRP where the part has
// one, from `status` as read: TB and SEC stay as they are, BUSY and WEL are
// left to the chip.
uint8_t FullProtection(const ChipRecord& chip, uint8_t status);

// Whether a write of `value` took, judged by `status` read back after it;
// WEL and BUSY are the chip's own and are not compared.
bool StatusWriteTook(uint8_t value, uint8_t status);

// Write enable, the write of `value`, and the poll until the chip is ready;
// `after` receives the register as the last poll read it.
Outcome WriteStatusRegister(Workbench& workbench, OperationHost& host, uint8_t value, uint8_t& after);

// The status register of the selected 25-series flash in one session of its
// own. Refused (an error box) for other families and while busy.
bool RunReadStatusRegister(Workbench& workbench, OperationHost& host, uint8_t& status);

// Writes `value` and reads it back; a register that keeps other bits (its
// WP pin or SRP bit hold it) fails with both values. WEL and BUSY are the
// chip's own and are not compared. `status` receives the value read back.
bool RunWriteStatusRegister(Workbench& workbench, OperationHost& host, uint8_t value, uint8_t& status);
