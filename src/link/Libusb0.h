#pragma once

#include <string>
#include <utility>

#include "link/LibraryTable.h"
#include "core/RuntimeLibrary.h"

// Run-time binding of the libusb 0.1 interface. The library is found by file
// name (the system's libusb-0.1, or the programmer simulator in its place),
// loaded again at every load() and never unloaded. A missing library or entry
// point is not an error: calls through call() then return the entry's failure
// value, so a machine without the library behaves as one without a programmer.
class Libusb0 {
public:
    // What a missing entry that returns an integer gives back.
    static constexpr int MissingEntryResult = -2;

    // Library file the binding loads; process-wide. Changing it forgets every
    // entry resolved from the previous file.
    static void setLibraryPath(std::string path);
    static const std::string& libraryPath();
    static std::string defaultLibraryPath();

    // Test seam: entries whose name the filter rejects stay unresolved. An
    // empty filter resolves everything.
    using EntryFilter = RuntimeLibrary::EntryFilter;
    static void setEntryFilter(EntryFilter filter);

    // Loads the library, resolves all 36 entries and runs usb_init. When the
    // library cannot be loaded the table keeps what it held. Returns whether
    // the library was loaded.
    static bool load();

    static const LibraryTable& table();

    // Calls an entry of the table, or returns its failure value when the entry
    // is missing: MissingEntryResult for integers, null for pointers, nothing
    // for void. Example: Libusb0::call<&LibraryTable::usb_close>(handle).
    template <auto Entry, typename... Args>
    static auto call(Args&&... args)
    {
        return RuntimeLibrary::callOrFail<MissingEntryResult>(table().*Entry, std::forward<Args>(args)...);
    }
};
