#pragma once

#include <string>
#include <string_view>

// `text` as valid UTF-8: well-formed sequences stay as they are, and every
// other byte is taken as Latin-1 (0xE9 becomes "é"). Names that reach us as
// file names or USB strings may be in any encoding; read this way they arrive
// whole and the original bytes can still be told from the result.
std::string ValidUtf8(std::string_view text);
