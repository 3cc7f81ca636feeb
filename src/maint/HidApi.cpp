#include "maint/HidApi.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

struct Binding {
    std::string path = HidApi::defaultLibraryPath();
    HidApi::EntryFilter filter;
    HidApiTable table;
    bool loaded = false;
};

Binding& binding()
{
    static Binding instance;
    return instance;
}

// The handle is deliberately never closed: the entry points stored in the
// table must stay mapped for the rest of the run.
void* openLibrary(const std::string& path)
{
#ifdef _WIN32
    return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

void* findSymbol(void* library, const char* name)
{
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}

class Resolver {
public:
    Resolver(void* library, const HidApi::EntryFilter& filter) : library_(library), filter_(filter) {}

    template <typename Function>
    void operator()(const char* name, Function*& slot) const
    {
        void* symbol = (!filter_ || filter_(name)) ? findSymbol(library_, name) : nullptr;
        slot = reinterpret_cast<Function*>(symbol);
    }

private:
    void* library_;
    const HidApi::EntryFilter& filter_;
};

void resolveAll(const Resolver& resolve, HidApiTable& t)
{
    resolve("hid_init", t.hid_init);
    resolve("hid_enumerate", t.hid_enumerate);
    resolve("hid_free_enumeration", t.hid_free_enumeration);
    resolve("hid_open_path", t.hid_open_path);
    resolve("hid_write", t.hid_write);
    resolve("hid_read_timeout", t.hid_read_timeout);
    resolve("hid_send_feature_report", t.hid_send_feature_report);
    resolve("hid_get_feature_report", t.hid_get_feature_report);
    resolve("hid_close", t.hid_close);
    resolve("hid_error", t.hid_error);
}

}  // namespace

void HidApi::setLibraryPath(std::string path)
{
    Binding& b = binding();
    b.path = std::move(path);
    b.table = HidApiTable{};
    b.loaded = false;
}

const std::string& HidApi::libraryPath()
{
    return binding().path;
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
    b.filter = std::move(filter);
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
    if (!b.loaded) {
        void* library = openLibrary(b.path);
        if (library == nullptr)
            return false;
        resolveAll(Resolver(library, b.filter), b.table);
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
