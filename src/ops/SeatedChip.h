#pragma once

struct ChipRecord;
struct Workbench;
class OperationHost;

// One Identify exchange before an operation opens its session, for the
// families that answer it (serial flash, 24- and 93-series EEPROM); 95-series
// and AVR chips tell nothing through it and go on without one. An empty
// socket is refused with "No chip in the socket" (except for a serial flash
// record without an identification, whose chip answers as an empty bus does),
// a chip of another family
// with a message naming both families: reading or writing it with the
// selected record's parameters would report a result that belongs to no chip.
// A serial flash whose identification differs from the selected record's is
// changed only after a question, unless the workbench accepts such chips
// (the window does: compatible parts are picked on purpose). A missing programmer or
// a lost reply is reported as the session would report it. True when the
// operation may go on.
bool SeatedChipAccepted(Workbench& workbench, OperationHost& host, const ChipRecord& chip, bool changesChip);
