// The settings file beside the executable: read and rewritten through the
// in-memory entries of IniFile, values taken as the settings take them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/IniFile.h"
#include "app/Settings.h"

namespace {

struct Entry {
    const char* section;
    const char* key;
};

// Names the settings use, in the file's spelling and in another letter case.
constexpr Entry Entries[] = {
    {"Environment", "FormTop"}, {"CHIP", "INDEX1"}, {"chip", "index3"}, {"DEVICE", "Language"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const Entry& entry = Entries[data[0] % std::size(Entries)];
    const std::string content(reinterpret_cast<const char*>(data + 1), size - 1);

    if (const auto value = IniFile::valueIn(content, entry.section, entry.key))
        Settings::parseInteger(*value);

    // Whatever the file held, a value written is the value read back.
    const std::string written = IniFile::withValue(content, entry.section, entry.key, "$1F");
    const auto reread = IniFile::valueIn(written, entry.section, entry.key);
    if (!reread || *reread != "$1F" || Settings::parseInteger(*reread) != 0x1F)
        __builtin_trap();
    return 0;
}
