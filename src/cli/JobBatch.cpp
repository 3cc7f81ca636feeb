#include "cli/JobBatch.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "cli/BatchInterrupt.h"
#include "cli/ExitStatus.h"
#include "cli/GangDisplay.h"
#include "core/ForwardingHost.h"
#include "core/MessageCatalogue.h"
#include "link/ProgrammerIdentity.h"
#include "maint/HardwareInfo.h"
#include "production/GangRun.h"
#include "production/JobFile.h"
#include "production/JobSetup.h"
#include "production/LineServerText.h"
#include "production/ProductionLog.h"
#include "production/ProductionText.h"
#include "production/RecordJson.h"
#include "production/RunRefusal.h"

using namespace ExitStatus;

namespace {

// How long a production batch waits at its end for the line server; with the
// forwarder's stop after it, the end never waits more than 5 s for a server
// that does not answer.
constexpr int64_t ForwardWaitMs = 3000;

std::string countersText(const ProductionCounters& counters, std::optional<int64_t> target)
{
    char yield[32] = "-";
    if (const std::optional<double> percent = counters.yieldPercent())
        std::snprintf(yield, sizeof yield, "%.1f%%", *percent);
    std::string text = std::to_string(counters.passed) + " passed, " + std::to_string(counters.failed) + " failed, " +
                       (counters.interrupted ? std::to_string(counters.interrupted) + " interrupted, " : "") +
                       "yield " + yield;
    if (const std::optional<int64_t> cycle = counters.averageCycleMs())
        text += ", cycle " + std::to_string(*cycle) + " ms";
    if (const std::optional<double> rate = counters.chipsPerHour())
        text += ", " + std::to_string(static_cast<int64_t>(*rate)) + " chips/h";
    if (target) {
        if (const std::optional<int64_t> left = counters.timeLeftMs(*target))
            text += ", time left " + DurationText(*left);
    }
    return text;
}

// The good chips the time left counts towards: the job's target, or as many
// more as the run's chips left, whichever comes first.
std::optional<int64_t> goodChipsWanted(const ProductionCounters& counters, std::optional<int64_t> jobTarget,
                                       std::optional<int64_t> chipsLeft)
{
    if (!chipsLeft)
        return jobTarget;
    const int64_t byCount = counters.passed + *chipsLeft;
    return jobTarget ? std::min(*jobTarget, byCount) : byCount;
}

}  // namespace

int JobBatch::run()
{
    const JobFileRead read = JobFile::read(line_.job);
    if (!read.job) {
        host_.printError(read.error);
        // A job file that cannot be read is a file's fault; one that reads
        // but is no sound job refuses production.
        return std::ifstream(line_.job).is_open() ? ProductionRefused : FileError;
    }
    const ProductionJob& job = *read.job;
    if (const std::string refusal = ApplyJob(workbench_, host_, job, line_.job); !refusal.empty()) {
        host_.printError(refusal);
        return ProductionRefused;
    }
    context_.chipKnown = true;
    host_.printNote(context_.chipText());
    std::string error;
    const std::unique_ptr<ProductionLog> log = ProductionLog::open(line_.logDb, error, workbench_.languageIndex);
    if (!log) {
        host_.printError(error);
        return FileError;
    }
    const GangRun::Settings settings = runSettings(job, read.sha256, *log);
    switch (RefusalOfRun(job, settings)) {
    case RunRefusal::None:
        break;
    case RunRefusal::GoodTargetReached:
        // A job with its good chips made waits for no chip: it says so and is done.
        reportTarget(true, settings.goodBefore);
        return Success;
    case RunRefusal::OperatorRequired:
        host_.printError("the job " + line_.job + " asks every run to name its operator: add --operator NAME");
        return UsageError;
    }
    return line_.programmers.empty() ? singleBatch(job, settings, *log) : gangBatch(job, settings, *log);
}

GangRun::Settings JobBatch::runSettings(const ProductionJob& job, const std::string& jobHash, ProductionLog& log) const
{
    GangRun::Settings settings;
    settings.jobHash = jobHash;
    settings.operatorName = line_.operatorName;
    if (line_.batchCount)
        settings.target = *line_.batchCount;
    settings.goodTarget = job.target;
    settings.goodBefore = log.local().counters(job.name).passed;
    return settings;
}

// The programmer every other command uses (--programmer, else the first one
// found) as the one seat of a run, which this command's own host shows: its
// notes, progress and errors as a single chip command's, and an unplugged
// programmer waited for as batch mode waits. Its records carry the serial
// number it reports.
int JobBatch::singleBatch(const ProductionJob& job, GangRun::Settings settings, ProductionLog& log)
{
    HardwareInfo programmer;
    HardwareInfo::query(workbench_.link, programmer);
    settings.seatHost = [this] { return std::make_unique<ForwardingHost>(host_); };
    settings.showErrorBoxes = true;
    settings.stopWhenProgrammerLeaves = false;
    GangRun gang(workbench_, log, job, settings, {});
    gang.addSeat(line_.programmer, programmer.serial);
    const int64_t setAsideBefore = log.local().setAsideRecords().count;
    int64_t chips = 0;  // counted on the seat's thread, the only one that runs meanwhile
    const auto shownCounters = [&] {
        const ProductionCounters counters = log.local().counters(job.name);
        const std::optional<int64_t> chipsLeft =
            line_.batchCount ? std::optional<int64_t>(*line_.batchCount - chips) : std::nullopt;
        return countersText(counters, goodChipsWanted(counters, job.target, chipsLeft));
    };
    gang.recorded = [&](size_t, const LogRecord& record) {
        ++chips;
        host_.appendFigure("chips", RecordJson(record));
        host_.printLine("Chip " + std::to_string(chips) + ": " + ChipResultWord(record.result) +
                        (record.serial.empty() ? "" : ", serial " + record.serial) + ", CRC-32 " + record.crc32 +
                        (record.message.empty() ? "" : ", " + record.message) + " | " + shownCounters());
    };
    host_.printLine("Job " + job.name + (job.locked ? " (locked)" : "") + ": " +
                    countersText(log.local().counters(job.name), std::nullopt));
    context_.printBatchStart();
    {
        const BatchInterrupt interrupt;
        gang.start([] { return !BatchInterrupt::requested(); });
        gang.wait();
    }
    const GangRun::SeatView seat = gang.views().front();
    const std::string& stopReason = seat.stopReason;
    if (!stopReason.empty())
        reportStop(seat, stopReason);
    reportCounters(gang);
    context_.printBatchEnd(gang.done(), gang.failed());
    host_.printLine("Job " + job.name + ": " + countersText(log.local().counters(job.name), std::nullopt));
    reportTarget(gang.goodTargetReached(), gang.goodChips());
    const bool stored = reportForwarding(log, setAsideBefore);
    return exitStatus(stopReason.empty() && stored, gang.failed(), gang.done(), gang.goodTargetReached());
}

// With the job's good chips made, the run did its work whatever chips failed
// on the way; otherwise every chip asked for must have passed. A run that
// production stopped (its log, its serials, the line server) was refused.
int JobBatch::exitStatus(bool ranToItsEnd, int64_t failed, int64_t done, bool targetReached) const
{
    if (!ranToItsEnd)
        return programmerLeft_ ? NoProgrammer : ProductionRefused;
    if (targetReached)
        return Success;
    const bool countReached = !line_.batchCount || done >= *line_.batchCount;
    return failed == 0 && countReached ? Success : Failure;
}

void JobBatch::reportStop(const GangRun::SeatView& seat, const std::string& shown)
{
    programmerLeft_ = programmerLeft_ || seat.programmerLeft;
    host_.printError(shown);
}

void JobBatch::reportCounters(const GangRun& gang)
{
    host_.setFigure("good", gang.passed());
    host_.setFigure("failed", gang.failed());
    host_.setFigure("interrupted", BatchInterrupt::requested());
}

void JobBatch::reportTarget(bool reached, int64_t good)
{
    if (reached)
        host_.printLine(MessageCatalogue::format(Msg::TargetReached, workbench_.languageIndex, {std::to_string(good)}));
}

// A record the server refused during the run (a serial it holds already,
// above all) means the run did not do what it was asked: it fails.
bool JobBatch::reportForwarding(ProductionLog& log, int64_t setAsideBefore)
{
    LogForwarder* forwarder = log.forwarder();
    if (!forwarder)
        return true;
    // A moment for the last records; what the server has not taken waits
    // in the station's log for the next run.
    forwarder->drain(ForwardWaitMs);
    const LogForwarder::Status status = forwarder->status();
    host_.printLine("Log server: " + LineServerText(status, workbench_.languageIndex));
    const int64_t refused = status.setAside.count - setAsideBefore;
    if (refused <= 0)
        return true;
    host_.printError(ProductionText(Msg::RunRecordsSetAside, workbench_.languageIndex, {std::to_string(refused)}));
    return false;
}

// "all": every programmer no other program holds, by serial number (by bus
// position when it reports none); else the serial numbers given.
std::vector<std::string> JobBatch::gangProgrammers()
{
    std::vector<std::string> chosen;
    if (line_.programmers == "all") {
        using namespace ProgrammerIdentity;
        for (const TUsbBulk::Port& port : TUsbBulk::findPorts(VendorId, Manufacturer, ProductId, Product)) {
            if (port.claimable)
                chosen.push_back(port.serial.empty() ? port.position : port.serial);
        }
        return chosen;
    }
    size_t start = 0;
    for (;;) {
        const size_t comma = line_.programmers.find(',', start);
        const std::string item = line_.programmers.substr(start, comma - start);
        if (!item.empty())
            chosen.push_back(item);
        if (comma == std::string::npos)
            return chosen;
        start = comma + 1;
    }
}

// One batch loop per programmer, each on its own thread; this thread shows
// them: one line per programmer redrawn in place on a terminal, a plain line
// per chip otherwise.
int JobBatch::gangBatch(const ProductionJob& job, const GangRun::Settings& settings, ProductionLog& log)
{
    const std::vector<std::string> programmers = gangProgrammers();
    if (programmers.empty()) {
        host_.printError(MessageCatalogue::text(Msg::NotConnected, English));
        return NoProgrammer;
    }
    GangRun gang(workbench_, log, job, settings, programmers);
    const int64_t setAsideBefore = log.local().setAsideRecords().count;
    // --json keeps stdout for its one object.
    const bool terminal = isatty(STDOUT_FILENO) != 0 && !line_.json;
    std::mutex printing;
    if (!terminal) {
        gang.recorded = [&](size_t, const LogRecord& record) {
            const std::lock_guard lock(printing);
            host_.appendFigure("chips", RecordJson(record));
            host_.printLine("[" + record.programmer + "] chip " + ChipResultWord(record.result) +
                            (record.serial.empty() ? "" : ", serial " + record.serial) + ", CRC-32 " + record.crc32 +
                            (record.message.empty() ? "" : ", " + record.message));
        };
    }
    std::string names;
    for (const std::string& programmer : programmers)
        names += (names.empty() ? "" : ", ") + programmer;
    host_.printLine("Job " + job.name + (job.locked ? " (locked)" : "") + " on " + std::to_string(programmers.size()) +
                    " programmers: " + names);
    context_.printBatchStart();
    GangDisplay display(stdout);
    const auto started = std::chrono::steady_clock::now();
    const auto redraw = [&] {
        const int64_t elapsedMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        const std::optional<int64_t> chipsLeft =
            line_.batchCount ? std::optional<int64_t>(std::max<int64_t>(*line_.batchCount - gang.done(), 0))
                             : std::nullopt;
        display.draw(gang.views(), chipsLeft, elapsedMs);
    };
    {
        const BatchInterrupt interrupt;
        gang.start([] { return !BatchInterrupt::requested(); });
        while (gang.running()) {
            if (terminal)
                redraw();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        gang.wait();
    }
    const std::vector<GangRun::SeatView> views = gang.views();
    if (terminal)
        redraw();
    bool stoppedByItself = false;
    for (const GangRun::SeatView& view : views) {
        host_.printLine("Programmer " + view.programmer + ": " + std::to_string(view.passed + view.failed) +
                        " done, " + std::to_string(view.passed) + " passed, " + std::to_string(view.failed) +
                        " failed");
        if (!view.stopReason.empty()) {
            reportStop(view, view.programmer + ": " + view.stopReason);
            stoppedByItself = true;
        }
    }
    reportCounters(gang);
    context_.printBatchEnd(gang.done(), gang.failed());
    // The station's rate is the log's, by the rule every front end shows.
    const ProductionCounters counters = log.local().counters(job.name);
    if (const std::optional<double> rate = counters.chipsPerHour())
        host_.printLine("Station: " + std::to_string(static_cast<int64_t>(*rate)) + " chips/h on " +
                        std::to_string(programmers.size()) + " programmers");
    host_.printLine("Job " + job.name + ": " + countersText(counters, std::nullopt));
    reportTarget(gang.goodTargetReached(), settings.goodBefore + gang.passed());
    const bool stored = reportForwarding(log, setAsideBefore);
    return exitStatus(!stoppedByItself && stored, gang.failed(), gang.done(), gang.goodTargetReached());
}
