#pragma once

struct ChipRecord;
struct Workbench;
class OperationHost;

// One Identify exchange before an operation opens its session. An empty
// socket is refused with "No chip in the socket"; before a chip is erased or
// written, a serial flash whose identification differs from the selected
// record's asks first (the command line answers no unless forced). A missing
// programmer or a lost reply is reported as the session would report it.
// True when the operation may go on.
bool SeatedChipAccepted(Workbench& workbench, OperationHost& host, const ChipRecord& chip, bool changesChip);
