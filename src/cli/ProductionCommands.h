#pragma once

#include <memory>
#include <vector>

#include "cli/CommandContext.h"
#include "production/JobSetup.h"

class SqliteLog;

// The production commands: job files, batches of a job, and the log's export and lookup.
class ProductionCommands {
public:
    explicit ProductionCommands(CommandContext& context)
        : context_(context), line_(context.line), host_(context.host), workbench_(context.workbench)
    {
    }

    int run();

private:
    int job();
    int imagePlacements(std::vector<ImagePlacement>& images);
    int loadImages(std::vector<ImagePlacement>& images);
    int createJob();
    int showJob();
    int placeValueFields();
    int exportLog();
    int findRecords();
    std::unique_ptr<SqliteLog> openExistingLog(int& status);

    CommandContext& context_;
    const CommandLine& line_;
    TerminalHost& host_;
    OwnedWorkbench& workbench_;
};
