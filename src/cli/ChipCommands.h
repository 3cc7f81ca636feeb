#pragma once

#include "cli/CommandContext.h"

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

    CommandContext& context_;
    const CommandLine& line_;
    TerminalHost& host_;
    OwnedWorkbench& workbench_;
};
