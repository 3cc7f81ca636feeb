#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "buffers/BufferSet.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "link/TUsbBulk.h"
#include "maint/HidDevice.h"

// One programmer of a station at work: its buffer set over the station's
// image, its link (aimed at that programmer), boot-loader device, workbench,
// host and the thread its work runs on. The station's catalogue, image and
// settings are shared and only read; everything the operation routines write
// is the worker's own, so several workers run the same routines side by side.
class SeatWorker {
public:
    // `target`: the programmer's serial number or bus position (empty: the
    // first one found). `image`/`span` as for BufferSet: a worker that patches
    // serial numbers into its image needs its own copy of the chip's span.
    SeatWorker(const Workbench& station, const std::string& target, std::unique_ptr<OperationHost> host,
               BufferSet::Image image = BufferSet::Image::Shared, uint32_t span = 0);
    // Waits for the work under way: the thread refers to the worker's parts.
    ~SeatWorker();
    SeatWorker(const SeatWorker&) = delete;
    SeatWorker& operator=(const SeatWorker&) = delete;

    Workbench& workbench() { return workbench_; }
    OperationHost& host() { return *host_; }
    TUsbBulk& link() { return link_; }

    // Runs `work` on the worker's own thread, after the last work has ended.
    void start(std::function<void()> work);
    void join();

private:
    BufferSet buffers_;
    TUsbBulk link_;
    HidDevice hid_;
    Workbench workbench_;
    std::unique_ptr<OperationHost> host_;
    std::thread thread_;
};
