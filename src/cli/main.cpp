#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/CommandRunner.h"
#include "cli/ExitStatus.h"
#include "cli/JsonRun.h"
#include "cli/TerminalHost.h"
#include "core/MessageCatalogue.h"
#include "core/ProgramVersion.h"
#include "core/RunningExecutable.h"
#include "core/UnexpectedError.h"

int main(int argc, char** argv)
{
    try {
        if (ProgramVersion::isAsked(argc, argv)) {
            std::fputs(ProgramVersion::text("belcor-cli").c_str(), stdout);
            return ExitStatus::Success;
        }
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        const ParsedCommandLine parsed = ParseCommandLine(arguments);
        if (!parsed.line && AsksForJson(arguments))
            return RefuseWithJson(arguments, parsed.error, stdout);
        if (!parsed.line) {
            std::fprintf(stderr, "belcor-cli: %s\n%s", parsed.error.c_str(), UsageText().c_str());
            return ExitStatus::UsageError;
        }
        if (parsed.line->json)
            return RunWithJson(*parsed.line, RunningExecutable::path(argv[0]), stdout, stderr);
        if (parsed.line->command == CommandLine::Command::Help) {
            std::fputs(HelpText().c_str(), stdout);
            return ExitStatus::Success;
        }
        const auto style = isatty(fileno(stderr)) ? ProgressDisplay::Style::Bar : ProgressDisplay::Style::Lines;
        TerminalHost host(stdout, stderr, style);
        CommandRunner runner(*parsed.line, host, RunningExecutable::path(argv[0]));
        return runner.run();
    } catch (...) {
        std::fflush(stdout);
        std::fprintf(stderr, "belcor-cli: error: %s\n", UnexpectedErrorText(std::current_exception(), English).c_str());
        return ExitStatus::Failure;
    }
}
