#pragma once

#include <string>
#include <vector>

#include "cli/CommandContext.h"
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
    int singleBatch(const ProductionJob& job, const std::string& jobHash, ProductionLog& log);
    int gangBatch(const ProductionJob& job, const std::string& jobHash, ProductionLog& log);
    std::vector<std::string> gangProgrammers();
    void reportForwarding(ProductionLog& log);

    CommandContext& context_;
    const CommandLine& line_;
    TerminalHost& host_;
    OwnedWorkbench& workbench_;
};
