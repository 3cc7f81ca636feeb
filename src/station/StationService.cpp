#include "station/StationService.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "chips/ChipCatalogue.h"
#include "chips/ChipDatabaseFile.h"
#include "core/MessageCatalogue.h"
#include "link/ProgrammerIdentity.h"
#include "link/TUsbBulk.h"
#include "maint/SimulatorLibrary.h"
#include "ops/SelectChip.h"
#include "production/GangRun.h"
#include "production/IsoTime.h"
#include "production/JobFile.h"
#include "production/JobSetup.h"
#include "production/ProductionLog.h"
#include "production/RecordJson.h"
#include "production/RunRefusal.h"
#include "production/StationName.h"
#include "production/TileState.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Events kept for clients that reconnect: minutes of a busy station.
constexpr size_t EventRingCapacity = 4096;
constexpr auto RunningPoll = std::chrono::milliseconds(250);
constexpr auto IdlePoll = std::chrono::milliseconds(1000);
// Programmers plugged in or out while no run goes are noticed this often.
constexpr auto ScanInterval = std::chrono::seconds(5);

json countersJson(const ProductionCounters& counters)
{
    json out{{"passed", counters.passed},
             {"failed", counters.failed},
             {"interrupted", counters.interrupted},
             {"total", counters.total()},
             {"yield_percent", nullptr}, {"average_cycle_ms", nullptr}, {"chips_per_hour", nullptr}};
    if (const auto yield = counters.yieldPercent())
        out["yield_percent"] = *yield;
    if (const auto cycle = counters.averageCycleMs())
        out["average_cycle_ms"] = *cycle;
    if (const auto rate = counters.chipsPerHour())
        out["chips_per_hour"] = *rate;
    return out;
}

// The answer to a run refused before it starts: its HTTP status and code.
ApiReply runRefusal(RunRefusal refusal, const std::string& text)
{
    switch (refusal) {
    case RunRefusal::GoodTargetReached:
        return ApiReply::refusal(409, text, "good_target_reached");
    case RunRefusal::OperatorRequired:
        return ApiReply::refusal(422, text, "operator_required");
    case RunRefusal::None:
        break;
    }
    return ApiReply{200, json::object()};
}

// The tile's state as a word that stays when the texts change.
const char* stepCode(TileState::Step step)
{
    switch (step) {
    case TileState::Step::NotConnected: return "not_connected";
    case TileState::Step::Idle: return "idle";
    case TileState::Step::Waiting: return "waiting";
    case TileState::Step::Erasing: return "erasing";
    case TileState::Step::BlankChecking: return "blank_checking";
    case TileState::Step::Programming: return "programming";
    case TileState::Step::Verifying: return "verifying";
    case TileState::Step::Passed: return "passed";
    case TileState::Step::Failed: return "failed";
    }
    return "idle";
}

}  // namespace

StationService::StationService(StationSettings settings, std::string executablePath)
    : settings_(std::move(settings)), executablePath_(std::move(executablePath)),
      pinThrottle_([] {
          return std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
              .count();
      }),
      events_(EventRingCapacity)
{
    workbench_.languageIndex = English;
    // A station has no window whose menu a remedy could name.
    workbench_.commandLineRemedies = true;
    lineServer_ = json{{"configured", false}, {"reachable", false}, {"backlog", 0}, {"error", ""}};
}

StationService::~StationService()
{
    shutdown();
}

bool StationService::open(std::string& error)
{
    if (settings_.simulator) {
        simulator_ = SimulatorLibrary::bind(executablePath_, settings_.scenario, error);
        if (!simulator_)
            return false;
        // Nothing reads the transcript; it would only grow.
        simulator_->setTranscriptEnabled(false);
    }
    const std::string database = ChipDatabaseFile::pathFor(executablePath_);
    if (LoadChipDatabase(workbench_, host_, database) != 1) {
        error = "cannot load the chip database " + database;
        return false;
    }
    if (!settings_.jobs.empty()) {
        std::error_code problem;
        const fs::path folder = fs::canonical(settings_.jobs, problem);
        if (problem || !fs::is_directory(folder)) {
            error = "the jobs folder " + settings_.jobs + " is no folder";
            return false;
        }
        jobsFolder_ = folder.string();
    }
    std::vector<std::string> targets;
    if (!settings_.logDb.empty())
        targets.push_back(settings_.logDb);
    if (!settings_.lineDb.empty())
        targets.push_back(settings_.lineDb);
    log_ = ProductionLog::open(targets, error, workbench_.languageIndex);
    if (!log_)
        return false;
    name_ = settings_.station.empty() ? StationName() : settings_.station;
    {
        const std::lock_guard control(control_);
        scanProgrammers();
    }
    followLineServer();
    watcher_ = std::thread([this] { watch(); });
    return true;
}

void StationService::shutdown()
{
    {
        const std::lock_guard control(control_);
        stopRequested_ = true;
        if (gang_)
            endRun();
    }
    {
        const std::lock_guard lock(watcherMutex_);
        watcherStopping_ = true;
    }
    watcherWake_.notify_all();
    if (watcher_.joinable())
        watcher_.join();
    events_.close();
}

StationService::Programmer& StationService::programmerNamed(const std::string& serial)
{
    for (Programmer& programmer : programmers_) {
        if (programmer.serial == serial)
            return programmer;
    }
    programmers_.push_back(Programmer{});
    programmers_.back().serial = serial;
    return programmers_.back();
}

void StationService::scanProgrammers()
{
    using namespace ProgrammerIdentity;
    const std::vector<TUsbBulk::Port> ports = TUsbBulk::findPorts(VendorId, Manufacturer, ProductId, Product);
    const std::lock_guard lock(state_);
    for (Programmer& programmer : programmers_)
        programmer.up = false;
    for (const TUsbBulk::Port& port : ports) {
        Programmer& programmer = programmerNamed(port.serial.empty() ? port.position : port.serial);
        programmer.up = port.claimable;
    }
}

void StationService::chipStarted(const std::string& programmer, const std::string& job, const std::string& serial)
{
    const json data{
        {"programmer", programmer}, {"job", job}, {"serial", serial}, {"time", IsoTime::now()}};
    events_.publish("chip-started", JsonText(data));
}

void StationService::chipFinished(const LogRecord& record)
{
    const bool passed = record.result == ChipResult::Pass;
    metrics_.countChip(record.programmer, record.job, record.result, record.cycleMs);
    json data{{"programmer", record.programmer}, {"record", RecordJson(record)}};
    {
        const std::lock_guard lock(state_);
        Programmer& programmer = programmerNamed(record.programmer);
        // A chip cut off by the station's own end is neither good nor bad.
        const bool interrupted = record.result == ChipResult::Interrupted;
        if (!interrupted)
            (passed ? programmer.passed : programmer.failed)++;
        programmer.lastResult = record.result;
        programmer.lastMessage = record.message;
        programmer.lastSerial = record.serial;
        (passed ? counters_.passed : interrupted ? counters_.interrupted : counters_.failed)++;
        counters_.cycleMsTotal += record.cycleMs;
        ++runDone_;
        data["counters"] = countersJson(counters_);
        data["run_done"] = runDone_;
    }
    events_.publish("chip-finished", JsonText(data));
    {
        const std::lock_guard lock(watcherMutex_);
        chipsChanged_ = true;
    }
    watcherWake_.notify_one();
}

void StationService::watch()
{
    auto lastScan = std::chrono::steady_clock::now();
    std::string lastState;
    std::unique_lock lock(watcherMutex_);
    while (!watcherStopping_) {
        lock.unlock();
        followRun();
        followLineServer();
        bool running = false;
        {
            const std::lock_guard control(control_);
            running = gang_ != nullptr;
            if (!running && std::chrono::steady_clock::now() - lastScan >= ScanInterval) {
                scanProgrammers();
                lastScan = std::chrono::steady_clock::now();
            }
        }
        const std::string state = JsonText(stateJson());
        if (state != lastState) {
            events_.publish("state", state);
            lastState = state;
        }
        lock.lock();
        watcherWake_.wait_for(lock, running ? RunningPoll : IdlePoll,
                              [this] { return watcherStopping_ || chipsChanged_; });
    }
}

void StationService::followRun()
{
    const std::lock_guard control(control_);
    if (!gang_)
        return;
    // Asked first: once every seat has ended, no chip comes after the outlook.
    const bool ended = !gang_->running();
    const std::vector<GangRun::SeatView> views = gang_->views();
    std::optional<SerialOutlook> serials;
    if ((chipsChanged_.exchange(false) || ended) && job_)
        serials = serialOutlook(job_->job);
    {
        const std::lock_guard lock(state_);
        for (const GangRun::SeatView& view : views) {
            Programmer& programmer = programmerNamed(view.programmer);
            programmer.seat = view;
            programmer.progress = view.maximum ? static_cast<double>(view.position) / view.maximum : 0.0;
            programmer.running = view.running;
            programmer.stopReason = view.stopReason;
            programmer.up = view.step != SeatStep::NotConnected;
        }
        if (serials)
            serials_ = *serials;
    }
    if (ended)
        endRun();
}

// With control_ held: the seats are done or end after their chips in hand.
void StationService::endRun()
{
    gang_->wait();
    int64_t done = gang_->done();
    const std::vector<GangRun::SeatView> views = gang_->views();
    const bool goodTargetReached = gang_->goodTargetReached();
    const int64_t goodChips = gang_->goodChips();
    gang_.reset();
    std::optional<int64_t> target;
    {
        const std::lock_guard lock(state_);
        target = runTarget_;
        runTarget_.reset();
        for (const GangRun::SeatView& view : views) {
            Programmer& programmer = programmerNamed(view.programmer);
            programmer.running = false;
            programmer.progress = 0;
            programmer.stopReason = view.stopReason;
            programmer.seat.reset();
        }
        running_ = false;
        stopping_ = false;
    }
    if (goodTargetReached) {
        target = job_ ? job_->job.target : std::nullopt;
        done = goodChips;
    }
    if (target && done >= *target)
        events_.publish("target-reached", JsonText(json{{"target", *target}, {"done", done}}));
}

void StationService::followLineServer()
{
    LogForwarder* forwarder = log_ ? log_->forwarder() : nullptr;
    if (!forwarder)
        return;
    const LogForwarder::Status status = forwarder->status();
    const json now{{"configured", true}, {"reachable", status.reachable}, {"backlog", status.waiting},
                   {"error", status.reachable ? std::string() : status.error}};
    {
        const std::lock_guard lock(state_);
        if (now == lineServer_)
            return;
        lineServer_ = now;
    }
    events_.publish("line-server", JsonText(now));
}

StationService::SerialOutlook StationService::serialOutlook(const ProductionJob& job)
{
    SerialOutlook outlook;
    if (!job.serial)
        return outlook;
    const SerialRule& rule = *job.serial;
    if (const std::optional<uint64_t> next = log_->local().peekSerial(job.name, rule)) {
        outlook.next = rule.text(*next);
        outlook.left = *next > rule.maximum() ? 0 : (rule.maximum() - *next) / rule.step + 1;
    }
    return outlook;
}

json StationService::stateJson() const
{
    const std::lock_guard lock(state_);
    json programmers = json::array();
    for (const Programmer& programmer : programmers_) {
        const TileState tile = TileState::of(programmer.seat ? &*programmer.seat : nullptr, programmer.up, English);
        programmers.push_back({{"serial", programmer.serial}, {"state", tile.text}, {"state_code", stepCode(tile.step)},
                               {"running", programmer.running}, {"up", programmer.up}});
    }
    return {{"running", running_}, {"stopping", stopping_}, {"operator", operator_},
            {"job", job_ ? json(job_->job.name) : json(nullptr)}, {"programmers", programmers}};
}

json StationService::station(int language) const
{
    const std::lock_guard lock(state_);
    json programmers = json::array();
    for (const Programmer& programmer : programmers_) {
        // In the window's words for its tiles, in the caller's language.
        const TileState tile = TileState::of(programmer.seat ? &*programmer.seat : nullptr, programmer.up, language);
        programmers.push_back({{"serial", programmer.serial},
                               {"state", tile.text},
                               {"state_code", stepCode(tile.step)},
                               {"running", programmer.running},
                               {"up", programmer.up},
                               {"progress", programmer.progress},
                               {"passed", programmer.passed},
                               {"failed", programmer.failed},
                               {"last_result", programmer.lastResult ? ChipResultWord(*programmer.lastResult) : ""},
                               {"last_message", programmer.lastMessage},
                               {"last_serial", programmer.lastSerial},
                               {"stop_reason", programmer.stopReason}});
    }
    json job = nullptr;
    if (!jobSummary_.is_null()) {
        job = jobSummary_;
        job["counters"] = countersJson(counters_);
        job["next_serial"] = serials_.next ? json(*serials_.next) : json(nullptr);
        job["serials_left"] = serials_.left ? json(*serials_.left) : json(nullptr);
    }
    return {{"name", name_},
            {"version", BELCOR_VERSION},
            {"running", running_},
            {"stopping", stopping_},
            {"operator", operator_},
            {"run", {{"target", runTarget_ ? json(*runTarget_) : json(nullptr)}, {"done", runDone_}}},
            {"programmers", programmers},
            {"job", job},
            {"line_server", lineServer_}};
}

std::string StationService::resolveInJobs(const std::string& name, bool& outside) const
{
    const fs::path folder(jobsFolder_);
    std::error_code problem;
    const fs::path resolved = fs::weakly_canonical(folder / name, problem);
    const fs::path relative = resolved.lexically_relative(folder);
    outside = problem || relative.empty() || *relative.begin() == "..";
    return resolved.string();
}

ApiReply StationService::loadJob(const JobRequest& request, int language)
{
    const std::lock_guard control(control_);
    if (gang_)
        return ApiReply::refusal(409, Msg::StationRunGoing, language);
    if (jobsFolder_.empty())
        return ApiReply::refusal(409, Msg::StationNoJobsFolder, language);
    if (!request.file.ends_with(JobFile::Extension))
        return ApiReply::refusal(400, Msg::StationJobFileField, language);
    bool outside = false;
    const std::string path = resolveInJobs(request.file, outside);
    if (outside)
        return ApiReply::refusal(403, Msg::StationJobOutsideFolder, language, request.file);
    if (!fs::is_regular_file(path))
        return ApiReply::refusal(404, Msg::StationJobNotFound, language, request.file);
    JobFileRead read = JobFile::read(path);
    if (!read.job)
        return ApiReply{422, json{{"error", read.error}}};
    // The images belong to the job: they come from the same folder, never from
    // wherever a job file's paths lead.
    const std::vector<ImagePlacement> images = JobImagePlacements(*read.job, path);
    for (size_t i = 0; i < images.size(); ++i) {
        resolveInJobs(images[i].path, outside);
        if (outside)
            return ApiReply::refusal(403, Msg::StationImageOutsideFolder, language,
                                     i == 0 ? read.job->image : read.job->moreImages[i - 1].file);
    }

    {
        const std::lock_guard lock(state_);
        jobSummary_ = nullptr;
        serials_ = {};
    }
    job_.reset();
    workbench_.languageIndex = language;
    const std::string refusal = ApplyJob(workbench_, host_, *read.job, path);
    workbench_.languageIndex = English;
    if (!refusal.empty())
        return ApiReply{422, json{{"error", refusal}}};

    job_ = LoadedJob{*read.job, request.file, read.sha256};
    const ProductionJob& job = job_->job;
    const ChipRow& chip = job.chip;
    json summary{{"name", job.name},
                 {"file", request.file},
                 {"hash", read.sha256},
                 {"locked", job.locked},
                 {"pin_required", job.pin.has_value()},
                 {"note", job.note},
                 {"chip", chip.cells[ChipRow::Type] + "," + chip.cells[ChipRow::Manufacturer] + "," +
                              chip.cells[ChipRow::Name]},
                 {"serial_rule", job.serial ? json(job.serial->describe()) : json(nullptr)},
                 {"target", job.target ? json(*job.target) : json(nullptr)}};
    const ProductionCounters counters = log_->local().counters(job.name);
    const SerialOutlook serials = serialOutlook(job);
    {
        const std::lock_guard lock(state_);
        jobSummary_ = summary;
        counters_ = counters;
        serials_ = serials;
    }
    watcherWake_.notify_one();
    return ApiReply{200, station(language)};
}

ApiReply StationService::run(const RunRequest& request, int language)
{
    const std::lock_guard control(control_);
    if (gang_)
        return ApiReply::refusal(409, Msg::StationRunGoing, language);
    if (!job_)
        return ApiReply::refusal(409, Msg::StationNoJobLoaded, language);
    std::vector<std::string> chosen;
    if (request.allProgrammers) {
        scanProgrammers();
        const std::lock_guard lock(state_);
        for (const Programmer& programmer : programmers_) {
            if (programmer.up)
                chosen.push_back(programmer.serial);
        }
        if (chosen.empty())
            return ApiReply::refusal(409, Msg::StationNoProgrammers, language);
    } else {
        const std::lock_guard lock(state_);
        for (const std::string& serial : request.programmers) {
            const auto known = std::find_if(programmers_.begin(), programmers_.end(),
                                            [&](const Programmer& programmer) { return programmer.serial == serial; });
            if (known == programmers_.end() || !known->up)
                return ApiReply::refusal(409, Msg::StationProgrammerUnknown, language, serial);
        }
        chosen = request.programmers;
    }
    const ProductionJob& job = job_->job;
    // A count is chips to do; without one the run goes to the job's target
    // of good chips, counted as the window and the command line count it.
    const std::optional<int64_t> target = request.count;
    GangRun::Settings settings;
    settings.jobHash = job_->hash;
    settings.target = target;
    settings.station = name_;
    settings.operatorName = request.operatorName;
    if (!target && job.target) {
        const std::lock_guard lock(state_);
        settings.goodTarget = job.target;
        settings.goodBefore = counters_.passed;
    }
    if (const RunRefusal refusal = RefusalOfRun(job, settings); refusal != RunRefusal::None)
        return runRefusal(refusal, RunRefusalText(refusal, job, settings, language));
    gang_ = std::make_unique<GangRun>(workbench_, *log_, job, settings, chosen);
    gang_->recorded = [this](size_t, const LogRecord& record) { chipFinished(record); };
    gang_->started = [this, chosen, name = job.name](size_t seat, const std::string& serial) {
        chipStarted(chosen[seat], name, serial);
    };
    {
        const std::lock_guard lock(state_);
        running_ = true;
        stopping_ = false;
        operator_ = request.operatorName;
        runTarget_ = target;
        runDone_ = 0;
        for (const std::string& serial : chosen) {
            Programmer& programmer = programmerNamed(serial);
            programmer.running = true;
            programmer.stopReason.clear();
        }
    }
    stopRequested_ = false;
    gang_->start([this] { return !stopRequested_; });
    watcherWake_.notify_one();
    return ApiReply{202, station(language)};
}

ApiReply StationService::stop(int language)
{
    const std::lock_guard control(control_);
    stopRequested_ = true;
    {
        const std::lock_guard lock(state_);
        stopping_ = running_;
    }
    watcherWake_.notify_one();
    return ApiReply{202, station(language)};
}

std::optional<ApiReply> StationService::pinRefusal(const ChangeRequest& request, int language)
{
    const ProductionJob& job = job_->job;
    if (!job.pin)
        return std::nullopt;
    if (const int64_t waitMs = pinThrottle_.waitLeftMs(); waitMs > 0)
        return ApiReply::refusal(429, Msg::EngineerPinWait, language, std::to_string((waitMs + 999) / 1000));
    if (request.pin.empty())
        return ApiReply::refusal(422, Msg::StationPinNeeded, language, job.name);
    if (!job.pin->matches(request.pin)) {
        pinThrottle_.missed();
        return ApiReply::refusal(422, Msg::EngineerPinWrong, language);
    }
    pinThrottle_.passed();
    return std::nullopt;
}

bool StationService::recordChange(const ChangeRequest& request, const std::string& caller, const std::string& what,
                                  const std::string& before, const std::string& after, std::string& error)
{
    JobChange change;
    change.time = IsoTime::now();
    change.station = name_;
    change.job = job_->job.name;
    change.who = request.operatorName.empty() ? caller : request.operatorName + " (" + caller + ")";
    change.what = what;
    change.before = before;
    change.after = after;
    return log_->local().recordChange(change, error);
}

ApiReply StationService::setTarget(const ChangeRequest& request, const std::string& caller, int language)
{
    const std::lock_guard control(control_);
    if (!job_)
        return ApiReply::refusal(409, Msg::StationNoJobLoaded, language);
    if (auto refusal = pinRefusal(request, language))
        return *refusal;
    const std::optional<int64_t> before = job_->job.target;
    std::string error;
    if (!recordChange(request, caller, "target", before ? std::to_string(*before) : "", std::to_string(*request.target),
                      error))
        return ApiReply{500, json{{"error", error}}};
    job_->job.target = request.target;
    // A run going to the job's target goes to the new one.
    if (gang_ && !runTarget_)
        gang_->setGoodTarget(request.target);
    {
        const std::lock_guard lock(state_);
        jobSummary_["target"] = *request.target;
    }
    events_.publish("job-changed", JsonText(json{{"what", "target"},
                                                 {"text", MessageCatalogue::format(Msg::StationTargetChanged, English,
                                                                                   {before ? std::to_string(*before) : "–",
                                                                                    std::to_string(*request.target)})}}));
    return ApiReply{200, station(language)};
}

ApiReply StationService::resetCounters(const ChangeRequest& request, const std::string& caller, int language)
{
    const std::lock_guard control(control_);
    if (gang_)
        return ApiReply::refusal(409, Msg::StationRunGoing, language);
    if (!job_)
        return ApiReply::refusal(409, Msg::StationNoJobLoaded, language);
    if (auto refusal = pinRefusal(request, language))
        return *refusal;
    const ProductionCounters before = log_->local().counters(job_->job.name);
    std::string error;
    if (!log_->local().resetCounters(job_->job.name, error) ||
        !recordChange(request, caller, "counters",
                      "passed " + std::to_string(before.passed) + ", failed " + std::to_string(before.failed) +
                          ", interrupted " + std::to_string(before.interrupted),
                      "passed 0, failed 0, interrupted 0", error))
        return ApiReply{500, json{{"error", error}}};
    {
        const std::lock_guard lock(state_);
        counters_ = log_->local().counters(job_->job.name);
    }
    events_.publish("job-changed", JsonText(json{{"what", "counters"},
                                                 {"text", MessageCatalogue::format(Msg::StationCountersReset, English,
                                                                                   {std::to_string(before.passed),
                                                                                    std::to_string(before.failed)})}}));
    return ApiReply{200, station(language)};
}

ApiReply StationService::records(const RecordsQuery& query, int)
{
    LogFilter filter;
    filter.limit = query.limit;
    filter.afterId = query.afterId;
    filter.serial = query.serial;
    filter.crc32 = query.crc32;
    filter.job = query.job;
    json records = json::array();
    std::string error;
    if (!log_->local().forEachRecord(filter, [&](const LogRecord& record) { records.push_back(RecordJson(record)); },
                                     error))
        return ApiReply{500, json{{"error", error}}};
    // The newest come newest first; the answer is always in the log's order.
    if (query.afterId == 0)
        std::reverse(records.begin(), records.end());
    return ApiReply{200, json{{"records", records}}};
}

std::string StationService::metrics() const
{
    StationMetrics::Gauges gauges;
    gauges.station = name_;
    gauges.version = BELCOR_VERSION;
    if (LogForwarder* forwarder = log_->forwarder())
        gauges.logBacklog = forwarder->status().waiting;
    const std::lock_guard lock(state_);
    gauges.running = running_;
    for (const Programmer& programmer : programmers_)
        gauges.programmersUp.emplace_back(programmer.serial, programmer.up);
    if (!jobSummary_.is_null() && serials_.left)
        gauges.serialsLeft = std::make_pair(jobSummary_.at("name").get<std::string>(), *serials_.left);
    return metrics_.render(gauges);
}
