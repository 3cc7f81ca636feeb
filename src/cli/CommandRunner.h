#pragma once

#include <string>

#include "cli/CommandContext.h"

// Runs one parsed command on a workbench of its own, the way the window's
// handlers do: the same core calls, shown through the terminal host. The
// result is the process's exit status: 0 only when the command did its work.
class CommandRunner {
public:
    CommandRunner(const CommandLine& line, TerminalHost& host, std::string executablePath);

    int run();
    // The workbench and what the command found out, once it has run.
    const CommandContext& context() const { return context_; }

private:
    int runFamily();

    CommandContext context_;
};
