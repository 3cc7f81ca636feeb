#pragma once

#include <string>
#include <utility>

#include "core/RuntimeLibrary.h"
#include "maint/HidApiTable.h"

// Run-time binding of hidapi, through which the programmer's boot loader is
// reached. The library is found by file name (the system's hidapi, or the
// programmer simulator in its place) on first use after the path is set, and
// never unloaded. A missing library or entry point is not an error: calls
// through call() then return the entry's failure value, so a machine without
// hidapi behaves as one on which the boot loader never appears.
class HidApi {
public:
    // What a missing entry that returns an integer gives back (hidapi's own
    // failure value).
    static constexpr int MissingEntryResult = -1;

    // Library file the binding loads; process-wide. Changing it forgets every
    // entry resolved from the previous file.
    static void setLibraryPath(std::string path);
    static const std::string& libraryPath();
    static std::string defaultLibraryPath();

    // Test seam: entries whose name the filter rejects stay unresolved. An
    // empty filter resolves everything. Takes effect at the next load.
    using EntryFilter = RuntimeLibrary::EntryFilter;
    static void setEntryFilter(EntryFilter filter);

    // Test seam: uses the given table instead of loading a library, until the
    // next setLibraryPath().
    static void replaceTable(const HidApiTable& table);

    // Loads the library and resolves its entries unless that already happened
    // for the current path, then runs hid_init. Returns whether the entries
    // come from a loaded library (or a replaced table).
    static bool load();

    static const HidApiTable& table();

    // Calls an entry of the table, or returns its failure value when the entry
    // is missing: MissingEntryResult for integers, null for pointers, nothing
    // for void. Example: HidApi::call<&HidApiTable::hid_close>(device).
    template <auto Entry, typename... Args>
    static auto call(Args&&... args)
    {
        return RuntimeLibrary::callOrFail<MissingEntryResult>(table().*Entry, std::forward<Args>(args)...);
    }
};
