#include "cli/JsonReport.h"

#include "cli/ChipChoice.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"

using nlohmann::json;

namespace {

json commonFields(const std::string& command, int exitStatus)
{
    return {{"ok", exitStatus == ExitStatus::Success},
            {"command", command.empty() ? json(nullptr) : json(command)},
            {"chip", nullptr},
            {"exit", exitStatus},
            {"error", nullptr},
            {"lines", json::array()}};
}

// A command that failed without an error of its own (compare's files differ,
// status finds no programmer) said why on its last line.
std::string failureMessage(const JsonHost& host, const std::vector<std::string>& lines)
{
    if (std::string first = host.firstError(); !first.empty())
        return first;
    if (!lines.empty())
        return lines.back();
    return "the command failed";
}

}  // namespace

std::string ErrorCodeOf(int exitStatus)
{
    switch (exitStatus) {
    case ExitStatus::Success:
        return {};
    case ExitStatus::UsageError:
        return "usage";
    case ExitStatus::NoProgrammer:
        return "no_programmer";
    case ExitStatus::FileError:
        return "file";
    case ExitStatus::ProductionRefused:
        return "refused";
    default:
        return "failed";
    }
}

json ChipJson(const ChipCatalogue& catalogue)
{
    const ChipSearchRow row = ChipRowOf(catalogue, catalogue.currentChip);
    return {{"type", row.type},
            {"manufacturer", row.manufacturer},
            {"name", row.name},
            {"size", catalogue.currentRecord().flashSize}};
}

// The figures come first, so that no figure can take a common field's place.
json JsonReport(const std::string& command, const json& chip, const JsonHost& host, int exitStatus)
{
    json report = host.figures();
    report.update(commonFields(command, exitStatus));
    report["chip"] = chip;
    const std::vector<std::string> lines = host.lines();
    report["lines"] = lines;
    if (exitStatus != ExitStatus::Success)
        report["error"] = {{"code", ErrorCodeOf(exitStatus)}, {"message", failureMessage(host, lines)}};
    return report;
}

json JsonUsageReport(const std::string& command, const std::string& message)
{
    json report = commonFields(command, ExitStatus::UsageError);
    report["error"] = {{"code", ErrorCodeOf(ExitStatus::UsageError)}, {"message", message}};
    return report;
}

std::string JsonReportText(const json& report)
{
    return report.dump(-1, ' ', false, json::error_handler_t::replace);
}
