#include "production/GangRun.h"

#include <mutex>
#include <thread>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "core/MessageCatalogue.h"
#include "core/UnexpectedError.h"
#include "core/Workbench.h"
#include "link/TUsbBulk.h"
#include "maint/HidDevice.h"
#include "ops/StreamSpans.h"
#include "production/ProductionRun.h"
#include "production/SeatHost.h"

struct GangRun::Seat {
    size_t index = 0;
    std::string programmer;
    std::unique_ptr<BufferSet> buffers;
    TUsbBulk link;
    HidDevice hid;
    std::unique_ptr<Workbench> bench;
    SeatHost host;
    std::thread thread;
    std::atomic<bool> stopRequested{false};

    mutable std::mutex mutex;
    int64_t passed = 0;
    int64_t failed = 0;
    std::optional<ChipResult> lastResult;
    std::string lastMessage;
    std::string stopReason;
    bool running = false;
    SeatView::Chip chip = SeatView::Chip::None;
};

std::string GangRun::refusal(const ProductionJob& job, const Settings& settings, int language)
{
    if (settings.goodTarget && settings.goodBefore >= *settings.goodTarget)
        return MessageCatalogue::format(Msg::GoodTargetAlreadyReached, language,
                                        {std::to_string(settings.goodBefore), std::to_string(*settings.goodTarget)});
    if (job.operatorRequired && settings.operatorName.empty())
        return MessageCatalogue::format(Msg::OperatorRequired, language, {job.name});
    return {};
}

GangRun::GangRun(Workbench& station, ProductionLog& log, const ProductionJob& job, Settings settings,
                 const std::vector<std::string>& programmers)
    : station_(station), log_(log), job_(job), settings_(std::move(settings)),
      goodChips_(settings_.goodTarget, settings_.goodBefore)
{
    chipsLeft_ = settings_.target.value_or(0);
    for (const std::string& programmer : programmers)
        addSeat(programmer);
}

size_t GangRun::addSeat(const std::string& programmer)
{
    auto seat = std::make_unique<Seat>();
    seat->index = seats_.size();
    seat->programmer = programmer;
    seat->link.setTarget(programmer);
    const BufferSet::Image image = job_.serial ? BufferSet::Image::Copied : BufferSet::Image::Shared;
    const auto span = static_cast<uint32_t>(BufferStreamEnd(station_.catalogue.currentRecord()));
    seat->buffers = std::make_unique<BufferSet>(station_.buffers, image, span);
    seat->bench = std::make_unique<Workbench>(station_, *seat->buffers, seat->link, seat->hid);
    seats_.push_back(std::move(seat));
    return seats_.size() - 1;
}

GangRun::~GangRun()
{
    wait();
}

// A gang-wide count: each chip takes one of the chips left before it starts,
// so N programmers never do more than the target between them.
bool GangRun::claimChip()
{
    return !settings_.target || chipsLeft_.fetch_sub(1) > 0;
}

void GangRun::start(std::function<bool()> keepRunning)
{
    keepRunning_ = std::move(keepRunning);
    for (size_t seat = 0; seat < seats_.size(); ++seat)
        startSeat(seat);
}

void GangRun::startSeat(size_t index)
{
    Seat& seat = *seats_.at(index);
    {
        const std::lock_guard lock(seat.mutex);
        if (seat.running)
            return;
        seat.running = true;
        seat.chip = SeatView::Chip::None;
        seat.stopReason.clear();
    }
    if (seat.thread.joinable())
        seat.thread.join();
    seat.stopRequested = false;
    seat.thread = std::thread([this, &seat] { runSeat(seat); });
}

void GangRun::stopSeat(size_t index)
{
    seats_.at(index)->stopRequested = true;
}

void GangRun::runSeat(Seat& seat)
{
    std::string stopReason;
    try {
        ProductionRun::Settings settings;
        settings.jobHash = settings_.jobHash;
        settings.programmer = seat.programmer;
        settings.station = settings_.station;
        settings.operatorName = settings_.operatorName;
        settings.showErrorBoxes = false;
        settings.stopWhenProgrammerLeaves = true;
        settings.claimChip = [this] { return claimChip(); };
        settings.goodChips = &goodChips_;
        ProductionRun production(*seat.bench, seat.host, log_, job_, settings);
        production.recorded = [&](const LogRecord& record) {
            {
                const std::lock_guard lock(seat.mutex);
                (record.result == ChipResult::Pass ? seat.passed : seat.failed)++;
                seat.lastResult = record.result;
                seat.lastMessage = record.message;
                seat.chip = SeatView::Chip::Done;
            }
            if (recorded)
                recorded(seat.index, record);
        };
        production.socketEmptied = [&] {
            const std::lock_guard lock(seat.mutex);
            seat.chip = SeatView::Chip::None;
        };
        production.started = [&](const std::string& serial) {
            {
                const std::lock_guard lock(seat.mutex);
                seat.chip = SeatView::Chip::UnderWay;
            }
            if (started)
                started(seat.index, serial);
        };
        production.run([this, &seat] {
            return !seat.stopRequested && keepRunning_() && (!settings_.target || chipsLeft_ > 0);
        });
        stopReason = production.stopReason();
    } catch (...) {
        // One programmer's fault ends that programmer, not the station; its
        // link is given back and its session state cleared for a new start.
        stopReason = MessageCatalogue::format(Msg::SeatUnexpectedError, seat.bench->languageIndex,
                                              {ExceptionWhat(std::current_exception())});
        seat.link.USB_bulk_close();
        seat.bench->busy = false;
    }
    const std::lock_guard lock(seat.mutex);
    seat.stopReason = stopReason;
    seat.running = false;
}

void GangRun::wait()
{
    for (const std::unique_ptr<Seat>& seat : seats_) {
        if (seat->thread.joinable())
            seat->thread.join();
    }
}

bool GangRun::running() const
{
    for (const std::unique_ptr<Seat>& seat : seats_) {
        const std::lock_guard lock(seat->mutex);
        if (seat->running)
            return true;
    }
    return false;
}

std::vector<GangRun::SeatView> GangRun::views() const
{
    std::vector<SeatView> views;
    for (const std::unique_ptr<Seat>& seat : seats_) {
        const SeatHost::Snapshot shown = seat->host.snapshot();
        SeatView view;
        view.programmer = seat->programmer;
        view.state = shown.state;
        view.step = shown.step;
        view.position = shown.position;
        view.maximum = shown.maximum;
        view.allowanceTickMs = shown.allowanceTickMs;
        const std::lock_guard lock(seat->mutex);
        view.passed = seat->passed;
        view.failed = seat->failed;
        view.lastResult = seat->lastResult;
        view.lastMessage = seat->lastMessage;
        view.stopReason = seat->stopReason;
        view.running = seat->running;
        view.chip = seat->chip;
        view.stopping = seat->running && seat->stopRequested;
        views.push_back(std::move(view));
    }
    return views;
}

int64_t GangRun::passed() const
{
    int64_t sum = 0;
    for (const SeatView& view : views())
        sum += view.passed;
    return sum;
}

int64_t GangRun::failed() const
{
    int64_t sum = 0;
    for (const SeatView& view : views())
        sum += view.failed;
    return sum;
}
