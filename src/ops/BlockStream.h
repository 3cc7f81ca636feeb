#pragma once

#include <cstdint>
#include <string>

#include "core/MessageCatalogue.h"
#include "core/Outcome.h"

struct ChipRecord;
struct Workbench;

// Pieces shared by the streaming routines.

// A chip address as the messages show it: upper-case hex, no leading zeros, "h".
std::string AddressText(uint32_t address);

// "<operation> failed at address <address>." in the workbench's language.
Outcome FailedAt(const Workbench& workbench, Msg message, uint32_t address);

// Whether a command exchange moved its whole 64-byte block (the reply too,
// when one was asked for).
bool CommandDone(int result);

// Four-byte address mode for chips above 16 MiB, then the stream's start
// address, with a reply before reads. False when a transfer failed.
bool StartStream(Workbench& workbench, const ChipRecord& chip, uint32_t start, int replyFlag);
