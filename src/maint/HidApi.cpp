#include "maint/HidApi.h"

#include <mutex>

namespace {

struct Binding {
    RuntimeLibrary library{HidApi::defaultLibraryPath()};
    HidApiTable table;
    bool loaded = false;
    // Callers on several threads must not open and resolve at once.
    std::mutex loading;
};

Binding& binding()
{
    static Binding instance;
    return instance;
}

void resolveAll(const RuntimeLibrary& library, HidApiTable& t)
{
    library.resolve("hid_init", t.hid_init);
    library.resolve("hid_enumerate", t.hid_enumerate);
    library.resolve("hid_free_enumeration", t.hid_free_enumeration);
    library.resolve("hid_open_path", t.hid_open_path);
    library.resolve("hid_write", t.hid_write);
    library.resolve("hid_read_timeout", t.hid_read_timeout);
    library.resolve("hid_send_feature_report", t.hid_send_feature_report);
    library.resolve("hid_get_feature_report", t.hid_get_feature_report);
    library.resolve("hid_close", t.hid_close);
    library.resolve("hid_error", t.hid_error);
}

}  // namespace

void HidApi::setLibraryPath(std::string path)
{
    Binding& b = binding();
    b.library.setPath(std::move(path));
    b.table = HidApiTable{};
    b.loaded = false;
}

const std::string& HidApi::libraryPath()
{
    return binding().library.path();
}

std::string HidApi::defaultLibraryPath()
{
#ifdef _WIN32
    return "hidapi.dll";
#else
    return "libhidapi-hidraw.so.0";
#endif
}

void HidApi::setEntryFilter(EntryFilter filter)
{
    Binding& b = binding();
    b.library.setEntryFilter(std::move(filter));
    b.table = HidApiTable{};
    b.loaded = false;
}

void HidApi::replaceTable(const HidApiTable& table)
{
    Binding& b = binding();
    b.table = table;
    b.loaded = true;
}

bool HidApi::load()
{
    Binding& b = binding();
    const std::lock_guard lock(b.loading);
    if (!b.loaded) {
        if (!b.library.open())
            return false;
        resolveAll(b.library, b.table);
        b.loaded = true;
    }
    // hidapi keeps its own initialised flag, so calling this every time is cheap.
    call<&HidApiTable::hid_init>();
    return true;
}

const HidApiTable& HidApi::table()
{
    return binding().table;
}
