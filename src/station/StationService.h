#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "ops/OwnedWorkbench.h"
#include "production/GangRun.h"
#include "production/ProductionCounters.h"
#include "production/PinThrottle.h"
#include "production/ProductionJob.h"
#include "production/SeatHost.h"
#include "station/ApiReply.h"
#include "station/EventRing.h"
#include "station/StationMetrics.h"
#include "station/StationRequests.h"
#include "station/StationSettings.h"

class ProductionLog;
class SimulatorLibrary;
struct LogRecord;

// The station behind the API: its chip database, job, log and programmers,
// and the one production run at a time, a GangRun of the chosen programmers
// as the window and the command line run it. The seats' threads only count
// and publish (short locks); a watcher thread follows the seats' states, the
// end of a run, the line server and the programmers on the bus.
class StationService {
public:
    StationService(StationSettings settings, std::string executablePath);
    ~StationService();
    StationService(const StationService&) = delete;
    StationService& operator=(const StationService&) = delete;

    // Binds the simulator when asked, loads the chip database, opens the log
    // and finds the programmers. False, with `error` set, when it cannot serve.
    bool open(std::string& error);
    // Ends a run after the chips in hand and closes the event stream.
    void shutdown();

    // Programmer states the catalogue knows come in `language`.
    nlohmann::json station(int language) const;
    ApiReply loadJob(const JobRequest& request, int language);
    ApiReply run(const RunRequest& request, int language);
    ApiReply stop(int language);
    // The loaded job's target of good chips, and its counters set to zero,
    // as the window's view changes them: with the engineer PIN when the job
    // has one, and a record of the change in the log. `caller`: the client's
    // address, kept with the name given.
    ApiReply setTarget(const ChangeRequest& request, const std::string& caller, int language);
    ApiReply resetCounters(const ChangeRequest& request, const std::string& caller, int language);
    ApiReply records(const RecordsQuery& query, int language);
    std::string metrics() const;
    EventRing& events() { return events_; }
    const std::string& lineServer() const { return settings_.lineDb; }
    const std::string& name() const { return name_; }

private:
    // What the API shows of one programmer; counts are since the service started.
    struct Programmer {
        std::string serial;
        // Its seat as the run last showed it; nothing between runs.
        std::optional<GangRun::SeatView> seat;
        double progress = 0;
        int64_t passed = 0;
        int64_t failed = 0;
        std::optional<ChipResult> lastResult;  // none before its first chip
        std::string lastMessage;
        std::string lastSerial;
        std::string stopReason;
        bool running = false;
        bool up = false;
    };
    // The next serial number of the job and how many its rule can still write.
    struct SerialOutlook {
        std::optional<std::string> next;
        std::optional<uint64_t> left;
    };
    struct LoadedJob {
        ProductionJob job;
        std::string file;
        std::string hash;
    };

    Programmer& programmerNamed(const std::string& serial);
    void chipStarted(const std::string& programmer, const std::string& job, const std::string& serial);
    void chipFinished(const LogRecord& record);
    void watch();
    void followRun();
    void endRun();
    void followLineServer();
    void scanProgrammers();
    SerialOutlook serialOutlook(const ProductionJob& job);
    nlohmann::json stateJson() const;
    std::string resolveInJobs(const std::string& name, bool& outside) const;
    std::optional<ApiReply> pinRefusal(const ChangeRequest& request, int language);
    bool recordChange(const ChangeRequest& request, const std::string& caller, const std::string& what,
                      const std::string& before, const std::string& after, std::string& error);

    StationSettings settings_;
    std::string executablePath_;
    std::string name_;
    std::unique_ptr<SimulatorLibrary> simulator_;
    OwnedWorkbench workbench_;
    SeatHost host_;
    std::unique_ptr<ProductionLog> log_;
    std::string jobsFolder_;  // canonical; empty when none was given

    // Serialises the calls that change the job or the run, and the watcher's
    // handling of a run's end. Never taken by a seat.
    std::mutex control_;
    std::optional<LoadedJob> job_;
    std::unique_ptr<GangRun> gang_;
    std::atomic<bool> stopRequested_{false};
    // Wrong PINs make the next try wait, for every client alike.
    PinThrottle pinThrottle_;

    // What GET /station shows; taken briefly, also by the seats.
    mutable std::mutex state_;
    std::vector<Programmer> programmers_;
    nlohmann::json jobSummary_;
    ProductionCounters counters_;
    SerialOutlook serials_;
    bool running_ = false;
    bool stopping_ = false;
    std::string operator_;
    std::optional<int64_t> runTarget_;
    int64_t runDone_ = 0;
    nlohmann::json lineServer_;

    StationMetrics metrics_;
    EventRing events_;

    std::mutex watcherMutex_;
    std::condition_variable watcherWake_;
    bool watcherStopping_ = false;
    std::atomic<bool> chipsChanged_{false};
    std::thread watcher_;
};
