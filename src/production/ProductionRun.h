#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ops/ChipOperations.h"
#include "production/JobValues.h"
#include "production/LogRecord.h"
#include "production/ProductionHost.h"
#include "production/ProductionJob.h"
#include "production/SqliteLog.h"

class GoodChipTarget;
class ProductionLog;
class SerialPatch;
struct Workbench;

// A production run: the batch loop over the chips put into the socket, with
// the job's image, one serial number and one value of each job value field
// per chip patched into it, and one log
// record per chip committed before the next chip starts. The job must already
// be applied to the workbench (ApplyJob). Stops when `keepRunning` turns
// false, when `target` chips are done, when the job has its target of good
// chips, or before the next chip when the log
// cannot be written or the rule has no further serial number. A chip whose
// record the log does not take within `commitRetryMs` stops the run with the
// record kept pending (SqliteLog::keepPending); no chip starts before it is
// written. While a record waits, the socket is watched: a chip taken out
// meanwhile lets the loop go on, and when none was seen taken out, the run
// stops with a message, since the chip in the socket may be the one done.
class ProductionRun : private BatchChipHooks {
public:
    struct Settings {
        std::string jobHash;
        std::string programmer;                 // the programmer's serial number
        std::string station;                    // the name records carry; the host name when empty
        std::string operatorName;               // who runs it, for the records
        std::optional<int64_t> target;          // chips to do in this run
        // The job's good chips still wanted, shared by a gang; none: no limit.
        GoodChipTarget* goodChips = nullptr;
        bool showErrorBoxes = true;
        // Asked before each chip; false ends the run before it. A gang's
        // programmers share one count this way.
        std::function<bool()> claimChip;
        // How long a chip's record may wait for the log (another writer, a
        // disk being cleared) before the run stops.
        int64_t commitRetryMs = 30000;
        // A programmer that stops answering while no chip is under way ends
        // the run (a gang's seat) instead of being waited for (the window's
        // batch mode, which carries on when it is plugged in again).
        bool stopWhenProgrammerLeaves = false;
    };

    ProductionRun(Workbench& workbench, OperationHost& host, ProductionLog& log, const ProductionJob& job,
                  Settings settings);
    ~ProductionRun() override;

    // Each committed record, as soon as it is committed.
    std::function<void(const LogRecord&)> recorded;
    // A chip is about to be programmed, with the serial number it gets (empty
    // without a serial rule).
    std::function<void(const std::string& serial)> started;
    // The socket was seen empty (called at every query that finds it so).
    std::function<void()> socketEmptied;

    void run(const std::function<bool()>& keepRunning);

    int64_t passed() const { return passed_; }
    int64_t failed() const { return failed_; }
    int64_t done() const { return passed_ + failed_; }
    // Why the run stopped on its own; empty after a stop from outside or at the target.
    const std::string& stopReason() const { return stopReason_; }
    // The run stopped because its programmer stopped answering.
    bool programmerLeft() const { return programmerLeft_; }

    // Pause between two attempts to commit a chip's record; the socket is
    // watched meanwhile.
    static constexpr uint32_t CommitRetryPauseMs = 150;
    // How long one attempt waits for another writer of the log: briefly, as
    // the socket is not watched meanwhile.
    static constexpr int CommitAttemptWaitMs = 50;
    // A commit slower than this delays the loop's next look at the socket
    // past a quick feeder's swap: the socket is watched as after a wait.
    static constexpr int64_t SlowCommitMs = 40;
    // After a record that waited, how long the socket is watched for the
    // chip to leave (a feeder's swap) before the run stops.
    static constexpr uint32_t ChipSwapGraceMs = 2000;
    // Between two looks at the socket while a record waits; with the reply's
    // own 50 ms, a look every 100 ms, quicker than a feeder's swap.
    static constexpr uint32_t SocketWatchMs = 50;
    // Queries in a row that found no programmer before a seat's run ends.
    static constexpr int SilentQueriesBeforeStop = 3;
    // Pause between two looks whether chips under way made the target.
    static constexpr uint32_t TargetWaitMs = 150;

private:
    bool beforeChip(const std::array<uint8_t, 4>& reply) override;
    bool afterChip(bool passed) override;
    void socketEmpty() override;
    bool chipTakenOutMeanwhile() override { return chipTakenOut_; }
    bool queried(bool answered) override;
    // One query of the socket between two steps of the loop; true when it
    // found the socket empty (the hooks are told so).
    bool socketFoundEmpty();
    void watchSocket(uint32_t milliseconds);
    bool claimGoodChip();
    void releaseGoodChip();
    // `waited`: the first attempt failed, and the socket was watched.
    bool commitWithinRetryTime(LogRecord& record, std::optional<uint64_t> returned, std::string& error,
                               bool& waited);
    void stopKeeping(const LogRecord& record, std::optional<uint64_t> returned, const std::string& error);
    void refuseUsedUpSerials(const Reservation& reservation);
    // Reads the job's value sources; false, with the reason to stop, when one cannot be used.
    bool loadValues();
    void compareWithHistory();
    void writeHistory();
    std::string failureText();

    Workbench& workbench_;
    ProductionHost host_;
    ProductionLog& log_;
    const ProductionJob& job_;
    Settings settings_;
    std::string station_;
    std::string chipTitle_;

    std::unique_ptr<SerialPatch> patch_;
    std::optional<JobValues> values_;
    std::vector<std::unique_ptr<SerialPatch>> valuePatches_;
    std::optional<uint64_t> serial_;
    LogRecord reserved_;  // the chip under way, as its reservation named it
    int32_t imageLength_ = 0;  // the image's page-rounded length when the run started
    int64_t chipStartMs_ = 0;
    std::optional<int64_t> lastEndMs_;
    int64_t passed_ = 0;
    int64_t failed_ = 0;
    std::string stopReason_;
    bool programmerLeft_ = false;
    const std::function<bool()>* keepRunning_ = nullptr;
    bool goodChipClaimed_ = false;
    bool chipTakenOut_ = false;
    int silentQueries_ = 0;
};
