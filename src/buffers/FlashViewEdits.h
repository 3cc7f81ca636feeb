#pragma once

struct Workbench;
class OperationHost;

// The FLASH view keeps its own copy of the bytes while the user types in it.
// Every command that reads the FLASH buffer (Save, Write, Verify, Auto, the
// bench tools) first takes those edits over, so that it works on exactly what
// the view shows. The data length then covers the whole view.
void TakeOverFlashViewEdits(Workbench& workbench, OperationHost& host);

// The FLASH buffer holds what would be lost by replacing it: bytes typed in
// the view that were neither written to a chip nor saved since.
bool HoldsUnsavedFlash(const Workbench& workbench, const OperationHost& host);
