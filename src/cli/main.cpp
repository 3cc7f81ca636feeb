#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/CommandRunner.h"
#include "cli/TerminalHost.h"

namespace {

constexpr int UsageError = 2;

// The chip database and the simulator sit beside the executable, wherever it
// was started from.
std::string executablePath(const char* argument0)
{
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::absolute(argument0, error).string() : path.string();
}

}  // namespace

int main(int argc, char** argv)
{
    const ParsedCommandLine parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.line) {
        std::fprintf(stderr, "belcor-cli: %s\n%s", parsed.error.c_str(), UsageText().c_str());
        return UsageError;
    }
    if (parsed.line->command == CommandLine::Command::Help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    const auto style = isatty(fileno(stderr)) ? ProgressDisplay::Style::Bar : ProgressDisplay::Style::Lines;
    TerminalHost host(stdout, stderr, style);
    CommandRunner runner(*parsed.line, host, executablePath(argv[0]));
    return runner.run();
}
