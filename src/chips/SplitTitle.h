#pragma once

#include <string>
#include <vector>

// Splits a title's code page 936 bytes as a comma-delimited list with the
// double quote as quoting character: blanks (codes 1 to 32) around items are
// skipped, an unquoted item ends at a comma or a blank, "" inside quotes is one
// quote, a comma at the very end adds an empty item. Double-byte characters are
// taken whole, so their second byte is never read as a delimiter. Items are
// returned as they stand in the title, still in code page 936.
std::vector<std::string> SplitTitle(const std::string& title);
