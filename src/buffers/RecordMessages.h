#pragma once

// Messages of the Intel HEX and S-record readers, fixed English texts.
namespace recordmessage {
inline constexpr const char* ReadFailed = "File Read Operation Failed";
inline constexpr const char* ErrorReading = "Error reading File";
inline constexpr const char* IllegalLine = "Illegal Line found";
inline constexpr const char* IllegalChar = "Illegal Char in File";
inline constexpr const char* TooBig = "File exceeds Maximum Size";
}  // namespace recordmessage
