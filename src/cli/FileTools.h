#pragma once

#include "cli/CommandContext.h"

// The commands on image files alone, without a programmer: convert,
// checksum and compare.
class FileTools {
public:
    explicit FileTools(CommandContext& context) : line_(context.line), host_(context.host) {}

    int run();

private:
    int convert();
    int checksum();
    int compare();

    const CommandLine& line_;
    TerminalHost& host_;
};
