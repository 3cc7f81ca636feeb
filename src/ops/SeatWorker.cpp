#include "ops/SeatWorker.h"

SeatWorker::SeatWorker(const Workbench& station, const std::string& target, std::unique_ptr<OperationHost> host,
                       BufferSet::Image image, uint32_t span)
    : buffers_(station.buffers, image, span), workbench_(station, buffers_, link_, hid_), host_(std::move(host))
{
    link_.setTarget(target);
}

SeatWorker::~SeatWorker()
{
    join();
}

void SeatWorker::start(std::function<void()> work)
{
    join();
    thread_ = std::thread(std::move(work));
}

void SeatWorker::join()
{
    if (thread_.joinable())
        thread_.join();
}
