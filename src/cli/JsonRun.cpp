#include "cli/JsonRun.h"

#include <algorithm>
#include <exception>

#include "cli/CommandRunner.h"
#include "cli/ExitStatus.h"
#include "cli/JsonHost.h"
#include "cli/JsonReport.h"
#include "core/MessageCatalogue.h"
#include "core/UnexpectedError.h"

namespace {

void writeReport(const nlohmann::json& report, std::FILE* out)
{
    std::fprintf(out, "%s\n", JsonReportText(report).c_str());
    std::fflush(out);
}

}  // namespace

int RunWithJson(const CommandLine& line, const std::string& executablePath, std::FILE* out, std::FILE* events)
{
    JsonHost host(events);
    const std::string command = CommandName(line);
    if (line.command == CommandLine::Command::Help) {
        const std::string help = HelpText();
        size_t start = 0;
        while (start < help.size()) {
            const size_t end = std::min(help.find('\n', start), help.size());
            host.printLine(help.substr(start, end - start));
            start = end + 1;
        }
        writeReport(JsonReport(command, nullptr, host, ExitStatus::Success), out);
        return ExitStatus::Success;
    }
    CommandRunner runner(line, host, executablePath);
    int status = ExitStatus::Failure;
    try {
        status = runner.run();
    } catch (...) {
        host.printError(UnexpectedErrorText(std::current_exception(), English));
    }
    using Command = CommandLine::Command;
    if (line.command == Command::Write || line.command == Command::Verify || line.command == Command::Auto ||
        line.command == Command::Update)
        host.setFigure("file", line.files.front());
    if (line.command == Command::Verify)
        host.setFigure("mismatch", host.mismatch() ? nlohmann::json(*host.mismatch()) : nlohmann::json(nullptr));
    host.finish();
    const CommandContext& context = runner.context();
    const nlohmann::json chip = context.chipKnown ? ChipJson(context.workbench.catalogue) : nlohmann::json(nullptr);
    writeReport(JsonReport(command, chip, host, status), out);
    return status;
}

int RefuseWithJson(const std::vector<std::string>& arguments, const std::string& error, std::FILE* out)
{
    writeReport(JsonUsageReport(CommandName(arguments), error), out);
    return ExitStatus::UsageError;
}
