#pragma once

#include <optional>
#include <string>

#include "chips/ChipRecord.h"

// Text helpers of the chip catalogue. Titles are stored in code page 936
// (GBK); everything shown or compared is UTF-8.
namespace ChipText {

// The title bytes up to the NUL (at most the field's 48 bytes).
std::string titleBytes(const ChipRecord& record);

// Removes leading and trailing characters with codes 0 to 32.
std::string trimmed(const std::string& text);

// Whole-text comparison that ignores ASCII letter case only, so that the
// bytes of other characters are never folded.
bool equalsIgnoringCase(const std::string& a, const std::string& b);

// Code page 936 to UTF-8. Bytes that are not valid GBK become U+FFFD, so a
// damaged title still shows and never stops a list from being built.
std::string gbkToUtf8(const std::string& gbk);

// UTF-8 to code page 936; nothing when a character has no GBK form or the
// text is not valid UTF-8.
std::optional<std::string> utf8ToGbk(const std::string& utf8);

}  // namespace ChipText
