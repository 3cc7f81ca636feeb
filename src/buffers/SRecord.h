#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "buffers/FileLoad.h"
#include "buffers/LoadTarget.h"

// Motorola S-record files: data records S1, S2, S3 and terminators S7, S8, S9;
// other records are skipped. Records may come in any order and overlap; later
// bytes win. The count of the result is the extent. Messages of Belcor's own
// (a line too long) are in `language`.
FileLoad ReadSRecord(const std::string& path, LoadTarget target, int language);
// The same for the text of a file held in memory.
FileLoad ReadSRecordText(std::string_view text, LoadTarget target, int language);

// A header line, 16-byte data records (all-0xFF records left out) whose address
// width follows from the length (S1 up to 0xFFFF, S2 up to 0xFFFFFF, S3 above),
// and the matching terminator; upper case, CR LF.
FileSave WriteSRecord(const std::string& path, const uint8_t* source, uint32_t length);
