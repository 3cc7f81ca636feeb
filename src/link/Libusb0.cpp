#include "link/Libusb0.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

struct Binding {
    std::string path = Libusb0::defaultLibraryPath();
    Libusb0::EntryFilter filter;
    LibraryTable table;
};

Binding& binding()
{
    static Binding instance;
    return instance;
}

// The handle is deliberately never closed: the library's reference count keeps
// it mapped for the entry points stored in the table.
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
    Resolver(void* library, const Libusb0::EntryFilter& filter) : library_(library), filter_(filter) {}

    template <typename Function>
    void operator()(const char* name, Function*& slot) const
    {
        void* symbol = (!filter_ || filter_(name)) ? findSymbol(library_, name) : nullptr;
        slot = reinterpret_cast<Function*>(symbol);
    }

private:
    void* library_;
    const Libusb0::EntryFilter& filter_;
};

void resolveAll(const Resolver& resolve, LibraryTable& t)
{
    resolve("usb_open", t.usb_open);
    resolve("usb_close", t.usb_close);
    resolve("usb_get_string", t.usb_get_string);
    resolve("usb_get_string_simple", t.usb_get_string_simple);
    resolve("usb_get_descriptor_by_endpoint", t.usb_get_descriptor_by_endpoint);
    resolve("usb_get_descriptor", t.usb_get_descriptor);
    resolve("usb_bulk_write", t.usb_bulk_write);
    resolve("usb_bulk_read", t.usb_bulk_read);
    resolve("usb_interrupt_write", t.usb_interrupt_write);
    resolve("usb_interrupt_read", t.usb_interrupt_read);
    resolve("usb_control_msg", t.usb_control_msg);
    resolve("usb_set_configuration", t.usb_set_configuration);
    resolve("usb_claim_interface", t.usb_claim_interface);
    resolve("usb_release_interface", t.usb_release_interface);
    resolve("usb_set_altinterface", t.usb_set_altinterface);
    resolve("usb_resetep", t.usb_resetep);
    resolve("usb_clear_halt", t.usb_clear_halt);
    resolve("usb_reset", t.usb_reset);
    resolve("usb_reset_ex", t.usb_reset_ex);
    resolve("usb_strerror", t.usb_strerror);
    resolve("usb_init", t.usb_init);
    resolve("usb_set_debug", t.usb_set_debug);
    resolve("usb_find_busses", t.usb_find_busses);
    resolve("usb_find_devices", t.usb_find_devices);
    resolve("usb_device", t.usb_device);
    resolve("usb_get_busses", t.usb_get_busses);
    resolve("usb_install_service_np", t.usb_install_service_np);
    resolve("usb_uninstall_service_np", t.usb_uninstall_service_np);
    resolve("usb_install_driver_np", t.usb_install_driver_np);
    resolve("usb_get_version", t.usb_get_version);
    resolve("usb_isochronous_setup_async", t.usb_isochronous_setup_async);
    resolve("usb_bulk_setup_async", t.usb_bulk_setup_async);
    resolve("usb_interrupt_setup_async", t.usb_interrupt_setup_async);
    resolve("usb_submit_async", t.usb_submit_async);
    resolve("usb_reap_async", t.usb_reap_async);
    resolve("usb_free_async", t.usb_free_async);
}

}  // namespace

void Libusb0::setLibraryPath(std::string path)
{
    binding().path = std::move(path);
    binding().table = LibraryTable{};
}

const std::string& Libusb0::libraryPath()
{
    return binding().path;
}

std::string Libusb0::defaultLibraryPath()
{
#ifdef _WIN32
    return "libusb0.dll";
#else
    return "libusb-0.1.so.4";
#endif
}

void Libusb0::setEntryFilter(EntryFilter filter)
{
    binding().filter = std::move(filter);
}

bool Libusb0::load()
{
    Binding& b = binding();
    void* library = openLibrary(b.path);
    if (library == nullptr)
        return false;
    resolveAll(Resolver(library, b.filter), b.table);
    call<&LibraryTable::usb_init>();
    return true;
}

const LibraryTable& Libusb0::table()
{
    return binding().table;
}
