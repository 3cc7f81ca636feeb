#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "buffers/FileLoad.h"
#include "buffers/LoadTarget.h"

// Intel HEX files: data (00), end of file (01), extended segment (02) and
// extended linear (04) address records; start addresses (03, 05) are ignored.
// Records may come in any order and overlap; later bytes win, and bytes no
// record covers keep their values. The count of the result is the extent.
// Messages of Belcor's own (a line too long) are in `language`.
FileLoad ReadIntelHex(const std::string& path, LoadTarget target, int language);
// The same for the text of a file held in memory.
FileLoad ReadIntelHexText(std::string_view text, LoadTarget target, int language);

// 32-byte data records, all-0xFF records left out, an extended linear address
// record at every 64 KiB boundary from 0x10000 on, upper case, CR LF.
FileSave WriteIntelHex(const std::string& path, const uint8_t* source, uint32_t length);
