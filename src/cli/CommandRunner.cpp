#include "cli/CommandRunner.h"

#include <memory>

#include "cli/ChipCommands.h"
#include "cli/CommandTable.h"
#include "cli/ExitStatus.h"
#include "cli/FileTools.h"
#include "cli/ProductionCommands.h"
#include "cli/ProgrammerCommands.h"
#include "maint/SimulatorLibrary.h"

CommandRunner::CommandRunner(const CommandLine& line, TerminalHost& host, std::string executablePath)
    : context_(line, host, std::move(executablePath))
{
}

int CommandRunner::run()
{
    TUsbBulk::setTraceEnabled(context_.line.verbose);
    if (context_.line.simulator) {
        std::string error;
        const std::unique_ptr<SimulatorLibrary> simulator =
            SimulatorLibrary::bind(context_.executablePath, context_.line.scenario, error);
        if (!simulator) {
            context_.host.printError(error);
            return ExitStatus::Failure;
        }
        // Nothing here reads the transcript; recording every block of a 64 MiB
        // chip would only cost time and memory.
        simulator->setTranscriptEnabled(false);
    }
    const int status = runFamily();
    // However the command went on to fail, a programmer that was missing or
    // went away is what the script must hear of.
    if (status != ExitStatus::Success && status != ExitStatus::UsageError && context_.host.programmerLost())
        return ExitStatus::NoProgrammer;
    return status;
}

int CommandRunner::runFamily()
{
    switch (FamilyOf(context_.line)) {
    case CommandFamily::Chip:
        return ChipCommands(context_).run();
    case CommandFamily::FileTools:
        return FileTools(context_).run();
    case CommandFamily::Production:
        return ProductionCommands(context_).run();
    case CommandFamily::Programmers:
        return ProgrammerCommands(context_).run();
    }
    return ExitStatus::Failure;
}
