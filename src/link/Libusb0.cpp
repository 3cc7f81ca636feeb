#include "link/Libusb0.h"

#include <cstring>
#include <mutex>

namespace {

struct Binding {
    RuntimeLibrary library{Libusb0::defaultLibraryPath()};
    LibraryTable table;
    // Every gang seat opens its link on its own thread: one load at a time.
    std::mutex loading;
};

Binding& binding()
{
    static Binding instance;
    return instance;
}

void resolveAll(const RuntimeLibrary& library, LibraryTable& t)
{
    library.resolve("usb_open", t.usb_open);
    library.resolve("usb_close", t.usb_close);
    library.resolve("usb_get_string", t.usb_get_string);
    library.resolve("usb_get_string_simple", t.usb_get_string_simple);
    library.resolve("usb_get_descriptor_by_endpoint", t.usb_get_descriptor_by_endpoint);
    library.resolve("usb_get_descriptor", t.usb_get_descriptor);
    library.resolve("usb_bulk_write", t.usb_bulk_write);
    library.resolve("usb_bulk_read", t.usb_bulk_read);
    library.resolve("usb_interrupt_write", t.usb_interrupt_write);
    library.resolve("usb_interrupt_read", t.usb_interrupt_read);
    library.resolve("usb_control_msg", t.usb_control_msg);
    library.resolve("usb_set_configuration", t.usb_set_configuration);
    library.resolve("usb_claim_interface", t.usb_claim_interface);
    library.resolve("usb_release_interface", t.usb_release_interface);
    library.resolve("usb_set_altinterface", t.usb_set_altinterface);
    library.resolve("usb_resetep", t.usb_resetep);
    library.resolve("usb_clear_halt", t.usb_clear_halt);
    library.resolve("usb_reset", t.usb_reset);
    library.resolve("usb_reset_ex", t.usb_reset_ex);
    library.resolve("usb_strerror", t.usb_strerror);
    library.resolve("usb_init", t.usb_init);
    library.resolve("usb_set_debug", t.usb_set_debug);
    library.resolve("usb_find_busses", t.usb_find_busses);
    library.resolve("usb_find_devices", t.usb_find_devices);
    library.resolve("usb_device", t.usb_device);
    library.resolve("usb_get_busses", t.usb_get_busses);
    library.resolve("usb_install_service_np", t.usb_install_service_np);
    library.resolve("usb_uninstall_service_np", t.usb_uninstall_service_np);
    library.resolve("usb_install_driver_np", t.usb_install_driver_np);
    library.resolve("usb_get_version", t.usb_get_version);
    library.resolve("usb_isochronous_setup_async", t.usb_isochronous_setup_async);
    library.resolve("usb_bulk_setup_async", t.usb_bulk_setup_async);
    library.resolve("usb_interrupt_setup_async", t.usb_interrupt_setup_async);
    library.resolve("usb_submit_async", t.usb_submit_async);
    library.resolve("usb_reap_async", t.usb_reap_async);
    library.resolve("usb_free_async", t.usb_free_async);
}

}  // namespace

void Libusb0::setLibraryPath(std::string path)
{
    binding().library.setPath(std::move(path));
    binding().table = LibraryTable{};
}

const std::string& Libusb0::libraryPath()
{
    return binding().library.path();
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
    binding().library.setEntryFilter(std::move(filter));
}

bool Libusb0::load()
{
    Binding& b = binding();
    const std::lock_guard lock(b.loading);
    if (!b.library.open())
        return false;
    // Other threads may be calling through the table: it is written only when
    // an entry has really changed, never rewritten with the same values.
    LibraryTable fresh = b.table;
    resolveAll(b.library, fresh);
    if (std::memcmp(&fresh, &b.table, sizeof fresh) != 0)
        b.table = fresh;
    call<&LibraryTable::usb_init>();
    return true;
}

const LibraryTable& Libusb0::table()
{
    return binding().table;
}
