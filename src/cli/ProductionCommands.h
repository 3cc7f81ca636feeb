#pragma once

#include "cli/CommandContext.h"

// The production commands: job files, batches of a job and the log's export.
class ProductionCommands {
public:
    explicit ProductionCommands(CommandContext& context)
        : context_(context), line_(context.line), host_(context.host), workbench_(context.workbench)
    {
    }

    int run();

private:
    int job();
    int createJob();
    int showJob();
    int placeValueFields();
    int exportLog();

    CommandContext& context_;
    const CommandLine& line_;
    TerminalHost& host_;
    OwnedWorkbench& workbench_;
};
