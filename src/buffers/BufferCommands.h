#pragma once

#include <string>

#include "buffers/Fill.h"

struct Workbench;
class OperationHost;

// The page control's tabs, which choose the buffer Open loads into.
enum class BufferTab { Flash = 0, Eeprom = 1, Config = 2 };

// The Open command after its file dialog: loads the file into the FLASH buffer
// (at RangeStart when the range is on) or the EEPROM buffer, asks before taking
// a file longer than the chip, sets the data length, has the view reloaded and
// logs the Open line. A file that fails to load, also part-way, leaves the
// buffer as it was and logs nothing. On the CONFIG tab only the line is
// logged. True when the file was taken.
bool OpenBufferFile(Workbench& workbench, OperationHost& host, BufferTab tab, const std::string& path);

// The Save command after its file dialog: the chip's whole FLASH size from
// address 0, whatever the tab, the data length or the range. True when the
// file was written.
bool SaveFlashBuffer(Workbench& workbench, OperationHost& host, const std::string& path);

// The fill dialog's OK. True when the buffer was filled.
bool FillBuffer(Workbench& workbench, OperationHost& host, const FillRequest& request);
