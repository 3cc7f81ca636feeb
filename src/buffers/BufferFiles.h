#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "buffers/FileLoad.h"

class OperationHost;

// Texts of the Open and Save file dialogs, shown as they stand in every
// language; S-records, which Belcor also reads and writes, come after the
// dialogs' own entries. Every dialog starts at its first filter, and a name
// typed without extension is saved with the default extension.
inline constexpr const char* OpenDialogFilter =
    "Binary (*.bin);;Intel Hex(*.hex);;Bios Rom (*.rom);;Asus Rom (*.cap);;All files (*.*);;"
    "S-record (*.src *.s19 *.srec *.s28 *.s37 *.mot)";
inline constexpr const char* SaveDialogFilter =
    "Binary (*.bin);;Intel Hex(*.hex);;Bios Rom (*.rom);;All files (*.*);;"
    "S-record (*.src *.s19 *.srec *.s28 *.s37 *.mot)";
inline constexpr const char* SaveDefaultExtension = "hex";

// Reads a file of any supported form into destination, the form chosen by the
// file name's extension (case ignored). The caller shows the result's messages;
// those of Belcor's own are in `language`.
FileLoad LoadBufferFile(const std::string& path, uint8_t* destination, uint32_t capacity, int language);

// The bytes of a destination that LoadBufferFile(path, destination, capacity)
// may fill: a raw image's file size, or the capacity for record files and
// files that will be refused.
uint32_t LoadBlockSize(const std::string& path, uint32_t capacity);

// The messages a load leaves for the user, in order, in `language`.
std::vector<std::string> LoadMessages(const FileLoad& load, const std::string& path, int language);

// Writes length bytes of source in the form the extension chooses, after asking
// before replacing an existing file; shows its own failures through the host in
// `language`. True when the file was written.
bool SaveBufferFile(const std::string& path, const uint8_t* source, uint32_t length, OperationHost& host,
                    int language);
