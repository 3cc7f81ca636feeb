#pragma once

#include <QObject>
#include <QTimer>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Reports USB devices arriving and leaving, from a udev monitor on the "usb"
// subsystem. One plug produces a burst of events; they are gathered into one
// report a short moment after the last, which also gives the new device node
// time to become usable.
class DeviceWatcher : public QObject {
    Q_OBJECT
public:
    explicit DeviceWatcher(QObject* parent = nullptr);
    ~DeviceWatcher() override;

    // False when no udev monitor could be set up; nothing is reported then.
    bool isWatching() const { return notifier_ != nullptr; }

signals:
    void devicesChanged();

private:
    void readEvents();

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QTimer settle_;
};
