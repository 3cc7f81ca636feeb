#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "chips/ChipCatalogue.h"
#include "cli/JsonHost.h"

// The one object --json writes on stdout when a command ends: the common
// fields (ok, command, chip, lines, exit, error) and the command's figures.
// `chip` is null or the object ChipJson makes.
nlohmann::json JsonReport(const std::string& command, const nlohmann::json& chip, const JsonHost& host,
                          int exitStatus);

// The report of a command line that could not be parsed: a usage error.
nlohmann::json JsonUsageReport(const std::string& command, const std::string& message);

// {type, manufacturer, name, size} of the catalogue's current chip.
nlohmann::json ChipJson(const ChipCatalogue& catalogue);

// The stable word of an exit status: "failed", "usage", "no_programmer",
// "file", "refused"; empty for success.
std::string ErrorCodeOf(int exitStatus);

// The report as one line of text, bytes that are no UTF-8 replaced.
std::string JsonReportText(const nlohmann::json& report);
