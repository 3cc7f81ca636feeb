#pragma once

#include "cli/CommandContext.h"

// The commands about the programmer itself: whether it is there, what it
// is, its firmware, and every programmer attached.
class ProgrammerCommands {
public:
    explicit ProgrammerCommands(CommandContext& context)
        : line_(context.line), host_(context.host), workbench_(context.workbench)
    {
    }

    int run();

private:
    int status();
    int info();
    int upgrade();
    int programmers();

    const CommandLine& line_;
    TerminalHost& host_;
    OwnedWorkbench& workbench_;
};
