#pragma once

#include <string>

#include "core/Outcome.h"

struct ChipRecord;
struct Workbench;
class OperationHost;

// Protection after programming, the last step of a production job's Auto run:
// with the session still open, the serial flash's status register is written
// with FullProtection and read back, so that a chip leaves the socket unable
// to be changed by accident. A register that reads otherwise afterwards (an
// SRP bit and a WP pin that hold it, a part without those bits) fails with
// both values: the chip is good but not what the job promised. On success the
// log gets the value set.
Outcome ProtectChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip);

// Why `chip` cannot take that step: only a serial flash has protection bits
// in a status register. Empty when it can.
std::string ProtectionRefusal(const ChipRecord& chip, int language);
