#include "production/GangRun.h"

#include <mutex>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "core/MessageCatalogue.h"
#include "core/UnexpectedError.h"
#include "core/Workbench.h"
#include "ops/SeatWorker.h"
#include "ops/StreamSpans.h"
#include "production/ProductionRun.h"
#include "production/SeatHost.h"

struct GangRun::Seat {
    size_t index = 0;
    std::string programmer;
    std::unique_ptr<SeatWorker> worker;
    const SeatHost* shown = nullptr;  // the worker's host when the gang made it
    std::atomic<bool> stopRequested{false};

    mutable std::mutex mutex;
    int64_t passed = 0;
    int64_t failed = 0;
    std::optional<ChipResult> lastResult;
    std::string lastMessage;
    std::string stopReason;
    bool programmerLeft = false;
    bool running = false;
    SeatView::Chip chip = SeatView::Chip::None;
};

GangRun::GangRun(Workbench& station, ProductionLog& log, const ProductionJob& job, Settings settings,
                 const std::vector<std::string>& programmers)
    : station_(station), log_(log), job_(job), settings_(std::move(settings)),
      goodChips_(settings_.goodTarget, settings_.goodBefore)
{
    chipsLeft_ = settings_.target.value_or(0);
    for (const std::string& programmer : programmers)
        addSeat(programmer);
}

size_t GangRun::addSeat(const std::string& programmer, const std::string& name)
{
    auto seat = std::make_unique<Seat>();
    seat->index = seats_.size();
    seat->programmer = name.empty() ? programmer : name;
    std::unique_ptr<OperationHost> host;
    if (settings_.seatHost) {
        host = settings_.seatHost();
    } else {
        auto own = std::make_unique<SeatHost>();
        seat->shown = own.get();
        host = std::move(own);
    }
    const bool patched = job_.serial || !job_.values.empty();
    const BufferSet::Image image = patched ? BufferSet::Image::Copied : BufferSet::Image::Shared;
    const auto span = static_cast<uint32_t>(BufferStreamEnd(station_.catalogue.currentRecord()));
    seat->worker = std::make_unique<SeatWorker>(station_, programmer, std::move(host), image, span);
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
        seat.programmerLeft = false;
    }
    seat.worker->join();
    seat.stopRequested = false;
    seat.worker->start([this, &seat] { runSeat(seat); });
}

void GangRun::stopSeat(size_t index)
{
    seats_.at(index)->stopRequested = true;
}

void GangRun::runSeat(Seat& seat)
{
    std::string stopReason;
    bool programmerLeft = false;
    try {
        ProductionRun::Settings settings;
        settings.jobHash = settings_.jobHash;
        settings.programmer = seat.programmer;
        settings.station = settings_.station;
        settings.operatorName = settings_.operatorName;
        settings.showErrorBoxes = settings_.showErrorBoxes;
        settings.stopWhenProgrammerLeaves = settings_.stopWhenProgrammerLeaves;
        settings.claimChip = [this] { return claimChip(); };
        settings.goodChips = &goodChips_;
        ProductionRun production(seat.worker->workbench(), seat.worker->host(), log_, job_, settings);
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
        programmerLeft = production.programmerLeft();
    } catch (...) {
        // One programmer's fault ends that programmer, not the station; its
        // link is given back and its session state cleared for a new start.
        Workbench& bench = seat.worker->workbench();
        stopReason = MessageCatalogue::format(Msg::SeatUnexpectedError, bench.languageIndex,
                                              {ExceptionWhat(std::current_exception())});
        bench.link.USB_bulk_close();
        bench.busy = false;
    }
    const std::lock_guard lock(seat.mutex);
    seat.stopReason = stopReason;
    seat.programmerLeft = programmerLeft;
    seat.running = false;
}

void GangRun::wait()
{
    for (const std::unique_ptr<Seat>& seat : seats_)
        seat->worker->join();
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
        const SeatHost::Snapshot shown = seat->shown ? seat->shown->snapshot() : SeatHost::Snapshot{};
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
        view.programmerLeft = seat->programmerLeft;
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
