#pragma once

#include <string>

#include "cli/CommandLine.h"
#include "production/ProductionJob.h"
#include "cli/TerminalHost.h"
#include "ops/ChipOperations.h"
#include "ops/OwnedWorkbench.h"

// Runs one parsed command on a workbench of its own, the way the window's
// handlers do: the same core calls, shown through the terminal host. The
// result is the process's exit status: 0 only when the command did its work.
class ProductionLog;

class CommandRunner {
public:
    static constexpr int Success = 0;
    static constexpr int Failure = 1;
    // compare: the files differ (Failure), or one could not be read.
    static constexpr int CompareError = 2;

    CommandRunner(const CommandLine& line, TerminalHost& host, std::string executablePath);

    int run();

private:
    int runChipCommand();
    int status();
    int detect();
    int operate(Operation operation);
    int readToFile();
    int batch();
    int convert();
    int info();
    int upgrade();
    int list();
    int programmers();
    int job();
    int createJob();
    int showJob();
    int jobBatch();
    int gangBatch(const ProductionJob& job, const std::string& jobHash, ProductionLog& log);
    std::vector<std::string> gangProgrammers();
    void reportForwarding(ProductionLog& log);
    int exportLog();
    int checksum();
    int compare();

    bool loadDatabase();
    bool chooseChip();
    bool detectChip();
    // "Chip: TITLE (SIZE bytes, page PAGE)" of the selected chip.
    std::string chipText() const;
    bool applyRange();
    bool loadFlashFile(const std::string& path);
    AutoOptions autoOptions() const;

    const CommandLine& line_;
    TerminalHost& host_;
    std::string executablePath_;
    OwnedWorkbench workbench_;
};
