#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/CommandContext.h"
#include "production/GangRun.h"
#include "production/ProductionJob.h"

class ProductionLog;

// batch --job: a production run of a job file, on one programmer or, with
// --programmers, on several at once, shown line by line as the chips pass.
class JobBatch {
public:
    explicit JobBatch(CommandContext& context)
        : context_(context), line_(context.line), host_(context.host), workbench_(context.workbench)
    {
    }

    int run();

private:
    // The run as this command line asks for it, on whichever programmers.
    GangRun::Settings runSettings(const ProductionJob& job, const std::string& jobHash, ProductionLog& log) const;
    int singleBatch(const ProductionJob& job, GangRun::Settings settings, ProductionLog& log);
    int gangBatch(const ProductionJob& job, const GangRun::Settings& settings, ProductionLog& log);
    std::vector<std::string> gangProgrammers();
    // The run's counters as --json gives them.
    void reportCounters(const GangRun& gang);
    // "Target reached: N good chips" once the job has them.
    void reportTarget(bool reached, int64_t good);
    // The line server's state; false when it refused records of this run.
    bool reportForwarding(ProductionLog& log, int64_t setAsideBefore);
    int exitStatus(bool ranToItsEnd, int64_t failed, int64_t done, bool targetReached) const;
    // Shows why a programmer's loop stopped, noting a programmer that left.
    void reportStop(const GangRun::SeatView& seat, const std::string& shown);

    CommandContext& context_;
    const CommandLine& line_;
    TerminalHost& host_;
    OwnedWorkbench& workbench_;
    bool programmerLeft_ = false;
};
