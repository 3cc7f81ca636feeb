#pragma once

class OperationHost;
struct Workbench;

// The one answer to a command that would change the chip, its records, the
// FLASH buffer or the range while they are held (Workbench::holdsImage): a
// beep, and under a locked job the reason in the state panel, since the
// operator cannot see why the command did nothing. True when refused.
bool RefusedWhileHeld(const Workbench& workbench, OperationHost& host);
