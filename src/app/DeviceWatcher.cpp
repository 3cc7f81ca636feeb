#include "app/DeviceWatcher.h"

#include <QSocketNotifier>
#include <libudev.h>

namespace {
constexpr int SettleMs = 250;
}

DeviceWatcher::DeviceWatcher(QObject* parent) : QObject(parent)
{
    settle_.setSingleShot(true);
    settle_.setInterval(SettleMs);
    connect(&settle_, &QTimer::timeout, this, &DeviceWatcher::devicesChanged);

    udev_ = udev_new();
    if (!udev_)
        return;
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") < 0
        || udev_monitor_enable_receiving(monitor_) < 0)
        return;
    notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DeviceWatcher::readEvents);
}

DeviceWatcher::~DeviceWatcher()
{
    delete notifier_;
    if (monitor_)
        udev_monitor_unref(monitor_);
    if (udev_)
        udev_unref(udev_);
}

void DeviceWatcher::readEvents()
{
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        udev_device_unref(device);
        settle_.start();
    }
}
