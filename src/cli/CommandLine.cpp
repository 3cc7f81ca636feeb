#include "cli/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string_view>

#include "buffers/HexText.h"
#include "cli/CommandTable.h"
#include "production/Checksums.h"
#include "production/IsoTime.h"

namespace {

using Command = CommandLine::Command;

constexpr uint32_t MaximumCapacity = 0x7FFFFFFF;

template <typename Number>
bool parseNumber(std::string_view text, int base, Number& value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

// Decimal, or hexadecimal after "0x" where `hexadecimal` allows it (a
// capacity); chips are counted in decimal only, so that "0x10" or "010" is
// never read as another count than the operator meant.
bool parseCount(std::string_view text, uint64_t& value, bool hexadecimal)
{
    if (hexadecimal && (text.starts_with("0x") || text.starts_with("0X")))
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
    case Command::Job:
    case Command::Update:
    case Command::Unprotect:
    case Command::StatusRegister:
        return true;
    default:
        return false;
    }
}

bool usesOneProgrammer(Command command)
{
    return command != Command::Convert && command != Command::List && command != Command::Programmers &&
           command != Command::Job && command != Command::Log;
}

bool takesFile(Command command)
{
    return command == Command::Write || command == Command::Verify || command == Command::Auto ||
           command == Command::Batch || command == Command::Job || command == Command::Update ||
           command == Command::Checksum;
}

// Options whose value is kept as text; nothing for the others.
std::string* textOption(CommandLine& line, const std::string& name)
{
    if (name == "--serial")
        return &line.serial;
    if (name == "--note")
        return &line.note;
    if (name == "--on-fail")
        return &line.onFail;
    if (name == "--pin-file")
        return &line.pinFile;
    if (name == "--operator")
        return &line.operatorName;
    if (name == "--job")
        return &line.job;
    if (name == "--csv")
        return &line.csv;
    if (name == "--since")
        return &line.since;
    if (name == "--crc")
        return &line.crc;
    if (name == "--programmer")
        return &line.programmer;
    if (name == "--programmers")
        return &line.programmers;
    if (name == "--layout")
        return &line.layout;
    return nullptr;
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
    if (!line.programmers.empty() && (command != Command::Batch || line.job.empty()))
        return "--programmers applies only to batch --job";
    if (!line.programmers.empty() && !line.programmer.empty())
        return "--programmer and --programmers exclude each other";
    if (line.rangeGiven() && !takesFile(command))
        return "--start, --end and --range apply only to write, verify, auto, batch, update, checksum and job create";
    const bool jobCreate = command == Command::Job && line.files.front() == "create";
    const bool logFind = command == Command::Log && line.files.front() == "find";
    if ((line.noErase || line.noVerify) && command != Command::Auto && command != Command::Batch && !jobCreate)
        return "--no-erase and --no-verify apply only to auto, batch and job create";
    if (!line.serial.empty() && !jobCreate && !logFind)
        return "--serial applies only to job create and log find";
    if (!line.crc.empty() && !logFind)
        return "--crc applies only to log find";
    if ((!line.images.empty() || line.locked || line.reuseSerials || !line.note.empty() ||
         !line.pinFile.empty() || line.operatorRequired || line.newSequence) &&
        !jobCreate)
        return "--image, --reuse-serials, --new-sequence, --locked, --note, --pin-file and "
               "--operator-required apply only to job create";
    if (line.protectAfter && !jobCreate)
        return "--protect-after applies only to job create";
    if ((!line.valueFields.empty() || !line.onFail.empty()) && !jobCreate)
        return "--list, --mac, --files and --on-fail apply only to job create";
    if (!line.operatorName.empty() && (command != Command::Batch || line.job.empty()))
        return "--operator applies only to batch --job";
    if (!line.job.empty() && command != Command::Batch && command != Command::Log)
        return "--job applies only to batch, log export and log find";
    if (!line.logDb.empty() && command != Command::Batch && command != Command::Log)
        return "--log-db applies only to batch, log export and log find";
    if (!line.csv.empty() && (command != Command::Log || logFind))
        return "--csv applies only to log export";
    if (!line.since.empty() && command != Command::Log)
        return "--since applies only to log export and log find";
    if (line.verifyAll && command != Command::Update)
        return "--verify-all applies only to update";
    if (line.yes && command != Command::Erase && command != Command::Write && command != Command::Verify &&
        command != Command::Auto && (command != Command::Batch || !line.job.empty()) && command != Command::Update)
        return "--yes applies only to erase, write, verify, auto, batch FILE and update";
    if (line.force && command != Command::Erase && command != Command::Write && command != Command::Auto &&
        command != Command::Batch)
        return "--force applies only to erase, write, auto and batch";
    if (line.batchCount && command != Command::Batch)
        return "--count applies only to batch";
    if (line.target && !jobCreate)
        return "--target applies only to job create";
    if (line.capacity && command != Command::Convert)
        return "--capacity applies only to convert";
    const bool regionCommand = command == Command::Write || command == Command::Verify || command == Command::Auto ||
                               command == Command::Update;
    if (!line.regions.empty() && !regionCommand)
        return "--region applies only to write, verify, auto and update";
    if (!line.layout.empty() && !regionCommand && !jobCreate)
        return "--layout applies only to write, verify, auto, update and job create";
    if (!line.regions.empty() && line.layout.empty())
        return "--region needs --layout FILE";
    if (!line.regions.empty() && (line.noErase || line.noVerify))
        return "--region works whole regions: --no-erase and --no-verify do not apply";
    if (line.statusValue && command != Command::StatusRegister)
        return "--set applies only to status-register";
    // The link's trace is written straight to stderr, between the JSON lines.
    if (line.json && line.verbose)
        return "--json and --verbose exclude each other";
    return {};
}

// The production commands' own words and required options; job create's
// serial rule is parsed here, so that a mistyped one is a usage error.
std::string productionShape(CommandLine& line)
{
    switch (line.command) {
    case Command::Batch:
        if (line.files.empty() == line.job.empty())
            return "batch takes either FILE or --job JOB";
        if (!line.job.empty() && (line.rangeGiven() || line.noErase || line.noVerify || !line.chip.empty()))
            return "with --job, the job fixes the chip, range and steps";
        return {};
    case Command::Job:
        if (line.files[0] == "show")
            return line.chip.empty() && !line.rangeGiven() ? std::string() : "job show takes only the job file";
        if (line.files[0] != "create")
            return "job takes create or show, not " + line.files[0];
        if (line.chip.empty() || line.images.empty())
            return "job create needs --chip and --image";
        if (!line.serial.empty()) {
            std::string error;
            line.serialRule = ParseSerialRule(line.serial, error);
            if (!line.serialRule)
                return "--serial: " + error;
            line.serialRule->reuseFailed = line.reuseSerials;
        }
        if (!line.onFail.empty() && line.onFail != "burn" && line.onFail != "reuse")
            return "--on-fail takes burn or reuse, not " + line.onFail;
        return {};
    case Command::Log:
        if (line.files[0] == "find") {
            if (line.serial.empty() && line.crc.empty() && line.job.empty())
                return "log find needs --serial VALUE, --crc HEX or --job NAME";
            if (line.crc.empty())
                return {};
            const std::optional<std::string> crc = Checksums::crc32Key(line.crc);
            if (!crc)
                return "--crc needs a CRC-32 of up to eight hexadecimal digits, not \"" + line.crc + "\"";
            line.crc = *crc;
            return {};
        }
        if (line.files[0] != "export")
            return "log takes export or find, not " + line.files[0];
        if (line.csv.empty())
            return "log export needs --csv FILE";
        return {};
    default:
        return {};
    }
}

}  // namespace

// Addresses are converted as the window's range fields convert them, with
// or without "0x" in front.
std::string ParseAddressArgument(std::string text, uint32_t& value)
{
    if (text.starts_with("0x") || text.starts_with("0X"))
        text.erase(0, 2);
    const HexConversion conversion = ConvertHexText(text);
    value = static_cast<uint32_t>(conversion.value);
    return conversion.error;
}

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
                            name == "--no-verify" || name == "--locked" || name == "--reuse-serials" ||
                            name == "--verify-all" || name == "--force" || name == "--operator-required" ||
                            name == "--new-sequence" || name == "--yes" || name == "--json" ||
                            name == "--protect-after";
        if (isFlag) {
            if (value)
                return failure(name + " takes no value");
            help = help || name == "--help" || name == "-h";
            line.verbose = line.verbose || name == "--verbose";
            line.noErase = line.noErase || name == "--no-erase";
            line.noVerify = line.noVerify || name == "--no-verify";
            line.locked = line.locked || name == "--locked";
            line.reuseSerials = line.reuseSerials || name == "--reuse-serials";
            line.verifyAll = line.verifyAll || name == "--verify-all";
            line.force = line.force || name == "--force";
            line.operatorRequired = line.operatorRequired || name == "--operator-required";
            line.newSequence = line.newSequence || name == "--new-sequence";
            line.yes = line.yes || name == "--yes";
            line.json = line.json || name == "--json";
            line.protectAfter = line.protectAfter || name == "--protect-after";
            continue;
        }
        if (name == "--range") {
            // Two values: START END.
            if (value || i + 2 >= arguments.size())
                return failure("--range needs START and END");
            for (std::optional<uint32_t>* end : {&line.rangeStart, &line.rangeEnd}) {
                uint32_t address = 0;
                if (const std::string error = ParseAddressArgument(arguments[++i], address); !error.empty())
                    return failure("--range: " + error);
                *end = address;
            }
            continue;
        }
        std::string* text = textOption(line, name);
        if (name != "--chip" && name != "--start" && name != "--end" && name != "--count" && name != "--capacity" &&
            name != "--target" && name != "--log-db" && name != "--image" && name != "--region" && name != "--set" &&
            name != "--list" && name != "--mac" && name != "--files" &&
            text == nullptr)
            return failure("unknown option " + name);
        if (!value) {
            if (i + 1 >= arguments.size())
                return failure(name + " needs a value");
            value = arguments[++i];
        }
        uint32_t address = 0;
        if (name == "--list" || name == "--mac" || name == "--files") {
            std::string error;
            const std::optional<ValueField> field = name == "--list"  ? ParseListField(*value, error)
                                                    : name == "--mac" ? ParseMacField(*value, error)
                                                                      : ParseFilesField(*value, error);
            if (!field)
                return failure(name + ": " + error);
            line.valueFields.push_back(*field);
        } else if (name == "--log-db") {
            if (value->empty())
                return failure("--log-db needs a file or a postgresql:// address");
            line.logDb.push_back(*value);
        } else if (name == "--image" || name == "--region") {
            if (value->empty())
                return failure(name + " needs a value");
            (name == "--image" ? line.images : line.regions).push_back(*value);
        } else if (name == "--set") {
            if (!ParseAddressArgument(*value, address).empty() || address > 0xFF)
                return failure("--set needs a hexadecimal value from 00 to FF, not \"" + *value + "\"");
            line.statusValue = static_cast<uint8_t>(address);
        } else if (text != nullptr) {
            if (value->empty())
                return failure(name + " needs a value");
            *text = *value;
        } else if (name == "--chip") {
            if (value->empty())
                return failure("--chip needs a chip name");
            line.chip = *value;
        } else if (name == "--start" || name == "--end") {
            if (const std::string error = ParseAddressArgument(*value, address); !error.empty())
                return failure(name + ": " + error);
            (name == "--start" ? line.rangeStart : line.rangeEnd) = address;
        } else {
            uint64_t number = 0;
            const bool capacity = name == "--capacity";
            if (!parseCount(*value, number, capacity))
                return failure(name + (capacity ? " needs a positive number" : " needs a positive decimal number") +
                               ", not \"" + *value + "\"");
            // Loaded lengths are signed 32-bit counts; chips are counted in 64 bits.
            if (name == "--capacity" && number > MaximumCapacity)
                return failure("--capacity takes at most " + std::to_string(MaximumCapacity) + " bytes");
            if (name == "--count" && number > uint64_t(INT64_MAX))
                return failure("--count takes at most " + std::to_string(INT64_MAX) + " chips");
            if (name == "--target" && number > UINT32_MAX)
                return failure("--target takes at most " + std::to_string(UINT32_MAX) + " chips");
            if (name == "--count")
                line.batchCount = static_cast<int64_t>(number);
            else if (name == "--target")
                line.target = static_cast<uint32_t>(number);
            else
                line.capacity = static_cast<uint32_t>(number);
        }
    }

    if (help)
        return ParsedCommandLine{line, {}};
    if (words.empty())
        return failure("no command given");
    const CommandEntry* shape = FindCommand(words.front());
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
    if (const std::string shape = productionShape(line); !shape.empty())
        return failure(shape);
    // Compared with the log's UTC times as text, so given in their form.
    if (!line.since.empty()) {
        std::string error;
        const std::optional<int64_t> since = IsoTime::parse(line.since, error);
        if (!since)
            return failure("--since: " + error);
        line.since = IsoTime::utcText(*since);
    }
    return ParsedCommandLine{line, {}};
}

bool AsksForJson(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        if (argument == "--")
            return false;
        if (argument == "--json")
            return true;
    }
    return false;
}

std::string CommandName(const CommandLine& line)
{
    const auto entry = std::find_if(CommandTable().begin(), CommandTable().end(),
                                    [&line](const CommandEntry& e) { return e.command == line.command; });
    // --help is no command of the table.
    if (entry == CommandTable().end())
        return "help";
    std::string name(entry->name);
    if (line.command == Command::Job || line.command == Command::Log)
        name += " " + line.files.front();
    return name;
}

std::string CommandName(const std::vector<std::string>& arguments)
{
    const auto word = std::find_if(arguments.begin(), arguments.end(), [](const std::string& argument) {
        return !argument.starts_with("-") && FindCommand(argument) != nullptr;
    });
    return word == arguments.end() ? std::string() : *word;
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
           "\n" +
           CommandHelpText() +
           "\n"
           "Options:\n"
           "  --chip NAME            Use the chip of this name (see 'list'); a name that no chip has, or\n"
           "                         that is not unique, is refused (exit 2; the candidates listed).\n"
           "  --chip TYPE,MANUFACTURER,NAME\n"
           "                         Use exactly this chip.\n"
           "                         Without --chip, chip commands detect the seated chip and use it\n"
           "                         when it is a serial flash of the database.\n"
           "  --start ADDR, --end ADDR\n"
           "                         Hexadecimal address range for write, verify, auto, batch and update;\n"
           "                         FILE is loaded at the start address. Rounded out to whole pages.\n"
           "  --no-erase, --no-verify\n"
           "                         Leave out the erase or verify step of auto and batch.\n"
           "  --verify-all           update: verify the whole span, not only what was changed.\n"
           "  --layout FILE          A layout file: one \"START:END NAME\" a line, hexadecimal, END\n"
           "                         included; for --region and job create's --image FILE@NAME.\n"
           "  --region NAME          write, verify, auto, update: work only this region of --layout\n"
           "                         (repeatable). Its sectors are read, erased and programmed as update\n"
           "                         does; the rest of the chip is left alone. write does not verify.\n"
           "  --force                erase, write, auto, batch: change a seated serial flash even when its\n"
           "                         identification differs from the chosen chip's (refused otherwise).\n"
           "  --yes                  erase, write, verify, auto, batch FILE, update: answer yes to the\n"
           "                         questions the operation asks: a FILE longer than the chip is\n"
           "                         loaded as far as the chip reaches, and a seated serial flash\n"
           "                         whose identification differs is changed (as --force does).\n"
           "                         Without it each such question is answered no: the command stops\n"
           "                         with a message that names --yes (exit 1).\n"
           "  --count N              batch: stop after N chips (decimal, up to 9223372036854775807).\n"
           "  --programmer SERIAL, --programmer BUS/DEVICE\n"
           "                         Use the programmer with this serial number, or at this place on\n"
           "                         the bus (see 'programmers'); default: the first one found.\n"
           "  --log-db PATH|postgresql://...\n"
           "                         Production log database (default: the user's data folder); a\n"
           "                         postgresql:// address also sends every record to that server.\n"
           "  --capacity BYTES       convert: size of the load block (default 64 MiB).\n"
           "  --simulator[=FILE]     Use the programmer simulator beside the executable, set up by the\n"
           "                         scenario FILE (default: a blank 8 MiB serial flash).\n"
           "  --verbose              Trace the USB link on stderr.\n"
           "  --json                 Every command: one JSON object on stdout (ok, command, chip, the\n"
           "                         command's figures, exit, error), JSON lines on stderr (progress,\n"
           "                         log, error and question events); the exit status as without it.\n"
           "  -h, --help             Show this help.\n"
           "  --version              Show the version.\n"
           "\n"
           "Files:\n"
           "  The extension chooses the form. Loading: .hex Intel HEX; .src, .s19, .srec, .s28, .s37, .mot\n"
           "  S-record; .eep Intel HEX, S-record or raw binary by its first character; .cap raw binary\n"
           "  after a 2048-byte header; anything else raw binary. Saving: .hex Intel HEX; the S-record\n"
           "  extensions S-record; anything else raw binary.\n"
           "  Existing output files are overwritten without asking. A file longer than the chip is refused\n"
           "  (--yes loads as much as fits).\n"
           "\n"
           "Exit status:\n"
           "  0  done.\n"
           "  1  the operation failed on the chip, a question was answered no for want of --yes, the\n"
           "     compared files differ, or an unexpected error (a message on stderr says which).\n"
           "  2  a wrong command line, an unknown or ambiguous --chip included.\n"
           "  3  no programmer answered, or it was lost during the command.\n"
           "  4  a file (image, job, PIN, log, output) cannot be read or written.\n"
           "  5  production refused: the job, its target, the PIN or the line server.\n";
}
