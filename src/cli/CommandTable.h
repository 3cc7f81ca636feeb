#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "cli/CommandLine.h"

// The families the commands are grouped in; each runs its own commands.
enum class CommandFamily { Chip, FileTools, Production, Programmers };

// One way to call a command, as --help shows it: the synopsis (lines after
// the first already indented) and the description, one line per "\n".
struct CommandForm {
    std::string_view synopsis;
    std::string_view description;
};

// Every command belcor-cli knows: the parser takes its name and argument
// count from here, --help its forms, and the dispatch its family.
struct CommandEntry {
    std::string_view name;
    CommandLine::Command command;
    CommandFamily family;
    size_t minimumFiles;
    size_t maximumFiles;
    std::span<const CommandForm> forms;
};

std::span<const CommandEntry> CommandTable();

// The entry of a command word; nullptr for an unknown one.
const CommandEntry* FindCommand(std::string_view name);

// The family that runs a parsed command line: a batch of a job is a
// production run, any other batch a chip command.
CommandFamily FamilyOf(const CommandLine& line);

// The "Commands:" section of --help, in the table's order.
std::string CommandHelpText();
