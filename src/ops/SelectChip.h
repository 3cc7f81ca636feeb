#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "chips/ChipCatalogue.h"
#include "chips/ChipSearch.h"

struct Workbench;
class OperationHost;

// The chip selection: rebuilds the Manufacturer and Name lists for the type at
// `typeIndex`, makes the record the three positions designate current, resets
// the FLASH buffer to that record's size and tells the host to refresh the
// lists, details, views, end address, 1.8 V notice and tab caption from the
// catalogue. Returns the slot found or -1; with -1 the previous record stays
// current and everything after the lists is refreshed for it.
int32_t SelectChip(Workbench& workbench, OperationHost& host, int32_t typeIndex, int32_t manufacturerIndex,
                   int32_t nameIndex);

// What ChangeSelection returns when the user kept the buffer, and with it
// the previous selection; -1 means the runs found no record.
inline constexpr int32_t SelectionKept = -2;

// A selection the user asked for: `selectionRuns` makes one or more list
// selection runs on the catalogue and returns the slot found. Every selection
// resets the FLASH buffer, the record already current included; only bytes
// typed into the FLASH view and neither written nor saved make it ask first.
// Declining puts the previous selection back and returns SelectionKept. The
// window is refreshed either way.
int32_t ChangeSelection(Workbench& workbench, OperationHost& host,
                        const std::function<int32_t(ChipCatalogue&)>& selectionRuns);

// Start-up load of the database file at `path`, then a selection run with the
// remembered INDEX1..INDEX3. A missing file does nothing; a refused one is
// reported in the current language and selects nothing. Returns 1 when the
// file was loaded, 0 otherwise.
int LoadChipDatabase(Workbench& workbench, OperationHost& host, const std::string& path);

// The user picked a position in one of the three lists. A type change selects
// that type's first manufacturer and first chip; a manufacturer change its
// first chip. The positions are remembered as INDEX1..INDEX3 and a selection
// run follows (see ChangeSelection). Refused with a beep while the workbench
// holds its image (a session, a production run, a locked job); the window
// then shows the lists as they were.
int32_t TypeListChanged(Workbench& workbench, OperationHost& host, int32_t typePosition);
int32_t ManufacturerListChanged(Workbench& workbench, OperationHost& host, int32_t manufacturerPosition);
int32_t NameListChanged(Workbench& workbench, OperationHost& host, int32_t namePosition);

// A row of the search dialog chosen: three selection runs, each finding the
// row's texts in the lists the previous run built, so the type, then the
// manufacturer, then the name fall into place. INDEX1..INDEX3 keep their
// values, so the next start comes back to the last choice made in the lists.
int32_t SelectSearchResult(Workbench& workbench, OperationHost& host, const ChipSearchRow& row);
