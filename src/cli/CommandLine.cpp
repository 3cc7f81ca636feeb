#include "cli/CommandLine.h"

#include <array>
#include <charconv>
#include <string_view>

#include "buffers/HexText.h"

namespace {

using Command = CommandLine::Command;

constexpr uint32_t MaximumCapacity = 0x7FFFFFFF;

struct CommandShape {
    std::string_view name;
    Command command;
    size_t minimumFiles;
    size_t maximumFiles;
};

constexpr std::array<CommandShape, 14> Commands = {{
    {"status", Command::Status, 0, 0},
    {"detect", Command::Detect, 0, 0},
    {"read", Command::Read, 1, 1},
    {"blank", Command::Blank, 0, 0},
    {"erase", Command::Erase, 0, 0},
    {"write", Command::Write, 1, 1},
    {"verify", Command::Verify, 1, 1},
    {"auto", Command::Auto, 1, 1},
    {"batch", Command::Batch, 1, 1},
    {"convert", Command::Convert, 2, 2},
    {"info", Command::Info, 0, 0},
    {"upgrade", Command::Upgrade, 1, 1},
    {"list", Command::List, 0, 1},
    {"programmers", Command::Programmers, 0, 0},
}};

const CommandShape* findCommand(std::string_view name)
{
    for (const CommandShape& shape : Commands) {
        if (shape.name == name)
            return &shape;
    }
    return nullptr;
}

bool parseNumber(std::string_view text, int base, uint32_t& value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

// Addresses are converted as the window's range fields convert them, with
// or without "0x" in front. Returns the conversion's message, empty on success.
std::string parseAddress(std::string text, uint32_t& value)
{
    if (text.starts_with("0x") || text.starts_with("0X"))
        text.erase(0, 2);
    const HexConversion conversion = ConvertHexText(text);
    value = static_cast<uint32_t>(conversion.value);
    return conversion.error;
}

// Decimal, or hexadecimal after "0x".
bool parseCount(std::string_view text, uint32_t& value)
{
    if (text.starts_with("0x") || text.starts_with("0X"))
        return parseNumber(text.substr(2), 16, value) && value > 0;
    return parseNumber(text, 10, value) && value > 0;
}

bool isChipCommand(Command command)
{
    switch (command) {
    case Command::Detect:
    case Command::Read:
    case Command::Blank:
    case Command::Erase:
    case Command::Write:
    case Command::Verify:
    case Command::Auto:
    case Command::Batch:
        return true;
    default:
        return false;
    }
}

bool usesOneProgrammer(Command command)
{
    return command != Command::Convert && command != Command::List && command != Command::Programmers;
}

bool takesFile(Command command)
{
    return command == Command::Write || command == Command::Verify || command == Command::Auto ||
           command == Command::Batch;
}

ParsedCommandLine failure(std::string error)
{
    return ParsedCommandLine{std::nullopt, std::move(error)};
}

// Options that belong to other commands are refused rather than ignored, so
// that a mistyped command line never runs something else than was meant.
std::string misplacedOption(const CommandLine& line)
{
    const Command command = line.command;
    if (!line.chip.empty() && !isChipCommand(command))
        return "--chip applies only to chip commands";
    if (!line.programmer.empty() && !usesOneProgrammer(command))
        return "--programmer applies only to commands that use a programmer";
    if (line.rangeGiven() && !takesFile(command))
        return "--start and --end apply only to write, verify, auto and batch";
    if ((line.noErase || line.noVerify) && command != Command::Auto && command != Command::Batch)
        return "--no-erase and --no-verify apply only to auto and batch";
    if (line.batchCount && command != Command::Batch)
        return "--count applies only to batch";
    if (line.capacity && command != Command::Convert)
        return "--capacity applies only to convert";
    return {};
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    std::vector<std::string> words;
    bool help = false;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || !argument.starts_with("-") || argument == "-") {
            words.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        std::optional<std::string> value;
        if (equals != std::string::npos)
            value = argument.substr(equals + 1);

        if (name == "--simulator") {
            line.simulator = true;
            line.scenario = value.value_or("");
            continue;
        }
        const bool isFlag = name == "--help" || name == "-h" || name == "--verbose" || name == "--no-erase" ||
                            name == "--no-verify";
        if (isFlag) {
            if (value)
                return failure(name + " takes no value");
            help = help || name == "--help" || name == "-h";
            line.verbose = line.verbose || name == "--verbose";
            line.noErase = line.noErase || name == "--no-erase";
            line.noVerify = line.noVerify || name == "--no-verify";
            continue;
        }
        if (name != "--chip" && name != "--programmer" && name != "--start" && name != "--end" && name != "--count" &&
            name != "--capacity")
            return failure("unknown option " + name);
        if (!value) {
            if (i + 1 >= arguments.size())
                return failure(name + " needs a value");
            value = arguments[++i];
        }
        uint32_t number = 0;
        if (name == "--programmer") {
            if (value->empty())
                return failure("--programmer needs a serial number or BUS/DEVICE");
            line.programmer = *value;
        } else if (name == "--chip") {
            if (value->empty())
                return failure("--chip needs a chip name");
            line.chip = *value;
        } else if (name == "--start" || name == "--end") {
            if (const std::string error = parseAddress(*value, number); !error.empty())
                return failure(name + ": " + error);
            (name == "--start" ? line.rangeStart : line.rangeEnd) = number;
        } else {
            if (!parseCount(*value, number))
                return failure(name + " needs a positive number, not \"" + *value + "\"");
            // Loaded lengths are signed 32-bit counts.
            if (name == "--capacity" && number > MaximumCapacity)
                return failure("--capacity takes at most " + std::to_string(MaximumCapacity) + " bytes");
            (name == "--count" ? line.batchCount : line.capacity) = number;
        }
    }

    if (help)
        return ParsedCommandLine{line, {}};
    if (words.empty())
        return failure("no command given");
    const CommandShape* shape = findCommand(words.front());
    if (shape == nullptr)
        return failure("unknown command " + words.front());
    line.command = shape->command;
    line.files.assign(words.begin() + 1, words.end());
    if (line.files.size() < shape->minimumFiles || line.files.size() > shape->maximumFiles) {
        const std::string count = shape->minimumFiles == shape->maximumFiles
                                      ? std::to_string(shape->minimumFiles)
                                      : std::to_string(shape->minimumFiles) + " or " +
                                            std::to_string(shape->maximumFiles);
        return failure(std::string(shape->name) + " takes " + count + " argument" +
                       (shape->maximumFiles == 1 ? "" : "s") + ", got " + std::to_string(line.files.size()));
    }
    if (const std::string misplaced = misplacedOption(line); !misplaced.empty())
        return failure(misplaced);
    return ParsedCommandLine{line, {}};
}

std::string UsageText()
{
    return "Usage: belcor-cli [--simulator[=FILE]] [--verbose] [--programmer SERIAL|BUS/DEVICE]\n"
           "                  [--chip NAME | --chip TYPE,MANUFACTURER,NAME]\n"
           "                  [--start ADDR --end ADDR] COMMAND [ARGUMENTS]\n"
           "Try 'belcor-cli --help' for the commands.\n";
}

std::string HelpText()
{
    return "Usage: belcor-cli [OPTIONS] COMMAND [ARGUMENTS]\n"
           "Drives the BelcorU2 chip programmer from the command line.\n"
           "\n"
           "Commands:\n"
           "  status                 Show whether the programmer is connected (exit 1 when not).\n"
           "  detect                 Identify the chip in the socket (exit 0 only when identified).\n"
           "  read FILE              Read the whole chip and save it as FILE.\n"
           "  blank                  Check that the chip is blank.\n"
           "  erase                  Erase the chip.\n"
           "  write FILE             Program FILE into the chip.\n"
           "  verify FILE            Compare the chip with FILE; a mismatch names its address.\n"
           "  auto FILE              Erase, program and verify in one go.\n"
           "  batch FILE             Program every chip put into the socket with FILE, as auto does,\n"
           "                         until --count chips are done or Ctrl-C is pressed.\n"
           "  convert IN OUT         Convert a file between the supported forms and print its extent.\n"
           "  info                   Show the programmer's hardware and firmware versions and serial number.\n"
           "  upgrade FILE.fwpk      Upgrade the programmer's firmware.\n"
           "  list [TEXT]            List the chip database, or the chips whose title contains TEXT, as\n"
           "                         TYPE,MANUFACTURER,NAME,SIZE,PAGE lines (exit 1 when none matches).\n"
           "  programmers            List every attached programmer: bus/device, serial number and\n"
           "                         firmware version from its hardware information, and its state\n"
           "                         (ready, or in use when another program holds it; exit 1 when none).\n"
           "\n"
           "Options:\n"
           "  --chip NAME            Use the chip of this name (see 'list'); a name that is not unique\n"
           "                         is refused with the candidates.\n"
           "  --chip TYPE,MANUFACTURER,NAME\n"
           "                         Use exactly this chip.\n"
           "                         Without --chip, chip commands detect the seated chip and use it\n"
           "                         when it is a serial flash of the database.\n"
           "  --start ADDR, --end ADDR\n"
           "                         Hexadecimal address range for write, verify, auto and batch;\n"
           "                         FILE is loaded at the start address. Rounded out to whole pages.\n"
           "  --no-erase, --no-verify\n"
           "                         Leave out the erase or verify step of auto and batch.\n"
           "  --count N              batch: stop after N chips.\n"
           "  --programmer SERIAL, --programmer BUS/DEVICE\n"
           "                         Use the programmer with this serial number, or at this place on\n"
           "                         the bus (see 'programmers'); default: the first one found.\n"
           "  --capacity BYTES       convert: size of the load block (default 64 MiB).\n"
           "  --simulator[=FILE]     Use the programmer simulator beside the executable, set up by the\n"
           "                         scenario FILE (default: a blank 8 MiB serial flash).\n"
           "  --verbose              Trace the USB link on stderr.\n"
           "  -h, --help             Show this help.\n"
           "\n"
           "Files:\n"
           "  The extension chooses the form. Loading: .hex Intel HEX; .eep Intel HEX, S-record or raw\n"
           "  binary by its first character; .cap raw binary after a 2048-byte header; anything else raw\n"
           "  binary. Saving: .hex Intel HEX; .src S-record; anything else raw binary.\n"
           "  Existing output files are overwritten without asking. A file longer than the chip is refused.\n"
           "\n"
           "Exit status: 0 on success, 1 when the command failed, 2 for a wrong command line.\n";
}
