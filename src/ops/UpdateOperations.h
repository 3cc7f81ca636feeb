#pragma once

#include <string>
#include <vector>

#include "ops/BlockRoutines.h"

struct Workbench;
class OperationHost;
struct UpdatePlan;

// Operations beside Read, Erase, Write, Verify and AUTO, in the same frame.

struct UpdateOptions {
    // Verify the whole write span afterwards instead of only what was touched
    // (with regions: the whole regions).
    bool verifyWholeSpan = false;
    // Chip address spans, apart and in the chip; when given, only they
    // change: the chip is read only around them, and every byte outside them
    // keeps what the chip holds.
    std::vector<StreamSpan> regions;
    // Verify what was touched afterwards; a Write of regions leaves it out, as Write does.
    bool verify = true;
};

// Update: leaves the chip as Auto would (the buffer over the write span, blank
// elsewhere) but touches only what differs. The chip is read whole and
// compared; a serial flash is then worked sector by sector (4 KiB): equal
// sectors are skipped, those that programming alone reaches get only their
// differing blocks programmed, the others are erased (by sector, by 64 KiB
// block or the whole chip, whichever is quicker) and their non-blank blocks
// programmed. A 24-series EEPROM gets only the blocks that differ written.
// Then what was touched is verified. The completion line counts the sectors
// (pages) skipped, programmed and erased. A protected serial flash is refused
// before anything is written. Same refusals and silent stops as Auto.
// `summary`, when given, receives the completion line without its time, and
// `done` the plan carried out, whose counts the line tells.
bool RunUpdate(Workbench& workbench, OperationHost& host, const UpdateOptions& options = {},
               std::string* summary = nullptr, UpdatePlan* done = nullptr);

// Verify of regions only (UpdateOptions::regions): the chip over each region
// against what Update would leave there. Same refusals as Update.
bool RunVerifyRegions(Workbench& workbench, OperationHost& host, const std::vector<StreamSpan>& regions);

// Remove protection: write enable and a write of 0 into a serial flash's status
// register, checked by the status poll that follows.
bool RunRemoveProtection(Workbench& workbench, OperationHost& host);
