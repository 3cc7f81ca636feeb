#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "buffers/FileLoad.h"
#include "buffers/LoadTarget.h"

class OperationHost;

// Texts of the Open and Save file dialogs, shown as they stand in every
// language. S-record files, named however, load through "All files" by their
// first character. Every dialog starts at its first filter, and a name typed
// without extension is saved with the default extension.
inline constexpr const char* OpenDialogFilter =
    "Binary (*.bin);;Intel Hex(*.hex);;Bios Rom (*.rom);;Asus Rom (*.cap);;All files (*.*)";
inline constexpr const char* SaveDialogFilter = "Binary (*.bin);;Intel Hex(*.hex);;Bios Rom (*.rom);;All files (*.*)";
inline constexpr const char* SaveDefaultExtension = "hex";

// Reads a file of any supported form into the target, the form chosen by the
// file name's extension (case ignored). The caller shows the result's messages;
// those of Belcor's own are in `language`.
FileLoad LoadBufferFile(const std::string& path, LoadTarget target, int language);

// The same load into an erased block of `capacity` bytes, its bytes from
// address 0 up to the count handed to `take` in address order rather than
// kept: a raw image piece by piece as it is read, so that it is never held
// whole; a record file, whose records may come in any order, whole once it is
// loaded (the block then takes memory only up to the file's extent).
FileLoad StreamBufferFile(const std::string& path, uint32_t capacity, const ByteSink& take, int language);

// The messages a load leaves for the user, in order, in `language`.
std::vector<std::string> LoadMessages(const FileLoad& load, const std::string& path, int language);

// Writes length bytes of source in the form the extension chooses, after asking
// before replacing an existing file; shows its own failures through the host in
// `language`. True when the file was written.
bool SaveBufferFile(const std::string& path, const uint8_t* source, uint32_t length, OperationHost& host,
                    int language);
