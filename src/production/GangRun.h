#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "production/GoodChipTarget.h"
#include "production/LogRecord.h"
#include "production/ProductionJob.h"
#include "production/SeatStep.h"

class OperationHost;
class ProductionLog;
struct Workbench;

// A production run on one programmer or several at once, from every front
// end: one ProductionRun (the batch loop with its serial numbers and log
// records) per programmer, each on a SeatWorker's thread with its own link,
// the station's chip and job, one log and one serial-number sequence for all
// (the log hands out numbers under its lock, so they rise in the order they
// are reserved and none comes twice).
// The job must already be applied to the station's workbench, which the
// caller keeps unchanged while the gang runs.
//
// Each programmer writes only its own state: its buffer set reads the
// station's image in place while nothing is patched into it; with a serial
// rule or job values each programmer gets its own copy of the chip's span
// once, when it joins, because every chip's copy of the image differs at the
// serial's and the values' addresses. An exception in one programmer's loop
// ends that programmer with its message.
class GangRun {
public:
    struct Settings {
        std::string jobHash;
        std::optional<int64_t> target;  // chips to do across all programmers
        // The job's target of good chips (its `target`, or what a front end
        // set in its place) and the good chips its log had before the run
        // (ProductionCounters::passed).
        std::optional<int64_t> goodTarget;
        int64_t goodBefore = 0;
        std::string station;            // the name records carry; the host name when empty
        std::string operatorName;       // who runs it, for the records
        // Each seat's host; none: a SeatHost of its own, which views() reads.
        // A front end that shows one programmer's operations itself (the
        // command line) hands in its own.
        std::function<std::unique_ptr<OperationHost>()> seatHost;
        // Error boxes reach the seat's host as well as its records.
        bool showErrorBoxes = false;
        // A programmer that stops answering between chips ends its seat;
        // otherwise it is waited for, as batch mode waits for it.
        bool stopWhenProgrammerLeaves = true;
    };

    // What a front end shows of one programmer.
    struct SeatView {
        std::string programmer;  // serial number (or bus position when it has none)
        std::string state;  // as the operation routines said it, in the seat's language
        SeatStep step = SeatStep::Other;
        uint32_t position = 0;
        uint32_t maximum = 0;
        uint32_t allowanceTickMs = 0;  // the progress counts ticks of a time allowance
        int64_t passed = 0;
        int64_t failed = 0;
        std::optional<ChipResult> lastResult;  // none before the first chip
        std::string lastMessage;
        std::string stopReason;  // why its loop stopped on its own
        bool programmerLeft = false;  // ... because its programmer stopped answering
        bool running = false;
        bool stopping = false;  // asked to stop; finishing the chip in its socket
        // The chip in the socket: none (or not yet seen), under way, or done
        // and not yet taken out.
        enum class Chip { None, UnderWay, Done };
        Chip chip = Chip::None;
    };

    // `programmers`: link targets (serial numbers or bus positions), one seat each.
    GangRun(Workbench& station, ProductionLog& log, const ProductionJob& job, Settings settings,
            const std::vector<std::string>& programmers);
    ~GangRun();
    GangRun(const GangRun&) = delete;
    GangRun& operator=(const GangRun&) = delete;

    // Each committed record with its seat, called on that seat's thread.
    std::function<void(size_t seat, const LogRecord&)> recorded;
    // A seat is about to program a chip, with its serial number (empty
    // without a serial rule); called on that seat's thread.
    std::function<void(size_t seat, const std::string& serial)> started;

    // Starts every seat's loop, while none runs. `keepRunning` is asked from
    // the seats' threads; once it turns false each loop ends after the chip in
    // its socket.
    void start(std::function<bool()> keepRunning);
    // One programmer joins, or starts or ends on its own while the others go
    // on; a stopped seat ends after the chip in its socket. Called from the
    // thread that made the gang, like views(). `name`: what its records and
    // views call it (the serial number it reports), `programmer` when empty.
    size_t addSeat(const std::string& programmer, const std::string& name = {});
    void startSeat(size_t seat);
    void stopSeat(size_t seat);
    void wait();
    bool running() const;

    size_t seatCount() const { return seats_.size(); }
    std::vector<SeatView> views() const;
    int64_t passed() const;
    int64_t failed() const;
    int64_t done() const { return passed() + failed(); }
    // Takes effect at once: no chip starts beyond a lowered target, and a
    // raised one lets waiting programmers go on.
    void setGoodTarget(std::optional<int64_t> target) { goodChips_.setTarget(target); }
    bool goodTargetReached() const { return goodChips_.reached(); }
    // The job's good chips, from before the run and in it.
    int64_t goodChips() const { return goodChips_.good(); }

private:
    struct Seat;
    void runSeat(Seat& seat);
    bool claimChip();

    Workbench& station_;
    ProductionLog& log_;
    const ProductionJob& job_;
    Settings settings_;
    std::function<bool()> keepRunning_ = [] { return true; };
    std::atomic<int64_t> chipsLeft_{0};
    GoodChipTarget goodChips_;
    std::vector<std::unique_ptr<Seat>> seats_;
};
