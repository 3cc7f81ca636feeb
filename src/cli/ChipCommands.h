#pragma once

#include <vector>

#include "cli/CommandContext.h"
#include "ops/BlockRoutines.h"

struct UpdateOptions;

// The commands on the chip in the socket, run as the window's Operation menu
// runs them, and the chip database's list.
class ChipCommands {
public:
    explicit ChipCommands(CommandContext& context)
        : context_(context), line_(context.line), host_(context.host), workbench_(context.workbench)
    {
    }

    int run();

private:
    int detect();
    int operate(Operation operation);
    int update();
    int readToFile();
    int batch();
    int list();
    // --region's chip spans, each checked against the chip; an exit status.
    int regionSpans(std::vector<StreamSpan>& spans);
    int runRegions();
    // Update's routine, for update and for the regions of write and auto: the
    // completion line, and update's counts as its figures.
    int runUpdate(const UpdateOptions& options);
    int statusRegister();

    CommandContext& context_;
    const CommandLine& line_;
    TerminalHost& host_;
    OwnedWorkbench& workbench_;
};
