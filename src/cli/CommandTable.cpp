#include "cli/CommandTable.h"

#include <array>

namespace {

using Command = CommandLine::Command;
using Family = CommandFamily;

// Where the descriptions begin on a line of --help.
constexpr size_t DescriptionColumn = 25;

constexpr std::array StatusForms{CommandForm{"status", "Show whether the programmer is connected (exit 3 when not)."}};
constexpr std::array DetectForms{CommandForm{"detect", "Identify the chip in the socket (exit 0 only when identified)."}};
constexpr std::array ReadForms{CommandForm{"read FILE", "Read the whole chip and save it as FILE."}};
constexpr std::array BlankForms{CommandForm{"blank", "Check that the chip is blank."}};
constexpr std::array EraseForms{CommandForm{"erase", "Erase the chip."}};
constexpr std::array WriteForms{CommandForm{"write FILE", "Program FILE into the chip."}};
constexpr std::array VerifyForms{
    CommandForm{"verify FILE", "Compare the chip with FILE; a mismatch names its address."}};
constexpr std::array AutoForms{CommandForm{"auto FILE", "Erase, program and verify in one go."}};
constexpr std::array BatchForms{
    CommandForm{"batch FILE", "Program every chip put into the socket with FILE, as auto does,\n"
                              "until --count chips are done or Ctrl-C is pressed."},
    CommandForm{"batch --job JOB [--count N] [--operator NAME] [--log-db PATH|postgresql://...]",
                "Production run of a job: a serial number per chip, one log record\n"
                "per chip, counters and time left on the progress line. A job with a\n"
                "target ends with \"Target reached: N good chips\" (exit 0) once it\n"
                "has them. --operator: who runs it, kept in every record; required\n"
                "when the job was made with --operator-required."},
    CommandForm{"batch --job JOB --programmers all|SERIAL,SERIAL,... [--count N] [--operator NAME] [--log-db ...]",
                "Gang run: one batch loop per programmer at the same time, one\n"
                "serial-number sequence and one log for all; --count counts the\n"
                "chips of all programmers together."},
};
constexpr std::array ConvertForms{
    CommandForm{"convert IN OUT", "Convert a file between the supported forms and print its extent."}};
constexpr std::array InfoForms{
    CommandForm{"info", "Show the programmer's hardware and firmware versions and serial number."}};
constexpr std::array UpgradeForms{CommandForm{"upgrade FILE.fwpk", "Upgrade the programmer's firmware."}};
constexpr std::array ListForms{
    CommandForm{"list [TEXT]", "List the chip database, or the chips whose title contains TEXT, as\n"
                               "TYPE,MANUFACTURER,NAME,SIZE,PAGE lines; when none matches, stdout\n"
                               "stays empty and stderr says so (exit 0)."}};
constexpr std::array ProgrammersForms{
    CommandForm{"programmers", "List every attached programmer: bus/device, serial number and\n"
                               "firmware version from its hardware information, and its state\n"
                               "(ready, or in use when another program holds it; exit 3 when none)."}};
constexpr std::array JobForms{
    CommandForm{"job create JOB --chip NAME --image FILE[@ADDRESS] [--image FILE@ADDRESS ...] [--layout FILE]\n"
                "           [--range START END] [--no-erase] [--no-verify]\n"
                "           [--serial ADDRESS:WIDTH:FORM:FIRST[:STEP]] [--reuse-serials] [--new-sequence]\n"
                "           [--locked] [--note TEXT] [--target N] [--pin-file FILE] [--operator-required]\n"
                "           [--list FILE:ADDRESS:FORM] [--mac ADDRESS:FIRST:LAST] [--files DIR:ADDRESS]\n"
                "           [--on-fail burn|reuse] [--protect-after]",
                "Write a production job file (*.belcorjob). FORM: le, be (binary),\n"
                "bcd, dec, hex (ASCII); ADDRESS hexadecimal. --target: the good chips\n"
                "the job makes; its runs end when it has them. --pin-file: the engineer\n"
                "PIN, the first line of FILE (the job keeps only a salted hash of it).\n"
                "--operator-required: every run must name its operator. A JOB written\n"
                "again keeps its serial sequence (its numbers go on) unless\n"
                "--new-sequence starts a new one. --image may be repeated: each FILE\n"
                "at its hexadecimal ADDRESS (or at the start of the region of that\n"
                "name in --layout); without @, the first lies at the range start or\n"
                "0. Images that overlap or pass the chip's end are refused (exit 2).\n"
                "Each chip takes the next value of each --list (one value a line;\n"
                "FORM hex or dec: ASCII digits, ascii: the line, bytes: hex bytes),\n"
                "--mac (AA:BB:CC:DD:EE:FF counted up to LAST, 6 bytes) and --files\n"
                "(one file per chip, in name order); all repeatable. --on-fail: a\n"
                "failed chip's values are used up (burn, the default) or go to the\n"
                "next chip (reuse). --protect-after: after programming, each 25-series\n"
                "chip's status register gets every block-protection bit and SRP set\n"
                "and is read back; a chip where it did not take fails."},
    CommandForm{"job show JOB", "Print a job file's contents."},
};
constexpr std::array LogForms{
    CommandForm{"log export --csv FILE [--log-db ...] [--job NAME] [--since TIME]",
                "Write the production log as CSV (UTF-8 with BOM, header row).\n"
                "TIME: ISO 8601, e.g. 2026-12-07, 2026-12-07T06:00 (local time),\n"
                "2026-12-07T06:00:00Z or 2026-12-07T06:00:00+08:00."},
    CommandForm{"log find --serial VALUE | --crc HEX | --job NAME [--since TIME] [--log-db PATH|postgresql://...]",
                "Print the records of that serial number, image CRC-32 or job (since\n"
                "TIME) as CSV lines with the export's header and columns, newest\n"
                "last. With a postgresql:// --log-db, the line server's records of\n"
                "every station; else the station's log. None found: stderr says so\n"
                "(exit 0)."},
};
constexpr std::array UpdateForms{
    CommandForm{"update FILE", "Leave the chip as auto would, but erase and program only the sectors\n"
                               "(serial flash) or pages (24-series EEPROM) that differ, and print\n"
                               "how many were skipped, programmed and erased."}};
constexpr std::array UnprotectForms{
    CommandForm{"unprotect", "Clear a serial flash's block protection (its status register)."}};
constexpr std::array StatusRegisterForms{
    CommandForm{"status-register [--set HEX]", "Show a serial flash's status register bit by bit (BUSY, WEL, BP0-BP2,\n"
                                               "TB, SEC, SRP); --set writes HEX into it first and shows what the\n"
                                               "chip reads back (exit 1 when it keeps other bits)."}};
constexpr std::array ChecksumForms{
    CommandForm{"checksum FILE", "Print the CRC-32 and SHA-256 of FILE as loading reads it, over its\n"
                                 "extent or over --range START END (hexadecimal, END included)."}};
constexpr std::array CompareForms{
    CommandForm{"compare A B", "Compare two files as loading reads them (the shorter padded with\n"
                               "0xFF) and list the differing ranges: exit 0 when equal, 1 when\n"
                               "different, 4 when a file cannot be read."}};

constexpr std::array Commands{
    CommandEntry{"status", Command::Status, Family::Programmers, 0, 0, StatusForms},
    CommandEntry{"detect", Command::Detect, Family::Chip, 0, 0, DetectForms},
    CommandEntry{"read", Command::Read, Family::Chip, 1, 1, ReadForms},
    CommandEntry{"blank", Command::Blank, Family::Chip, 0, 0, BlankForms},
    CommandEntry{"erase", Command::Erase, Family::Chip, 0, 0, EraseForms},
    CommandEntry{"write", Command::Write, Family::Chip, 1, 1, WriteForms},
    CommandEntry{"verify", Command::Verify, Family::Chip, 1, 1, VerifyForms},
    CommandEntry{"auto", Command::Auto, Family::Chip, 1, 1, AutoForms},
    CommandEntry{"batch", Command::Batch, Family::Chip, 0, 1, BatchForms},
    CommandEntry{"convert", Command::Convert, Family::FileTools, 2, 2, ConvertForms},
    CommandEntry{"info", Command::Info, Family::Programmers, 0, 0, InfoForms},
    CommandEntry{"upgrade", Command::Upgrade, Family::Programmers, 1, 1, UpgradeForms},
    CommandEntry{"list", Command::List, Family::Chip, 0, 1, ListForms},
    CommandEntry{"programmers", Command::Programmers, Family::Programmers, 0, 0, ProgrammersForms},
    CommandEntry{"job", Command::Job, Family::Production, 2, 2, JobForms},
    CommandEntry{"log", Command::Log, Family::Production, 1, 1, LogForms},
    CommandEntry{"update", Command::Update, Family::Chip, 1, 1, UpdateForms},
    CommandEntry{"unprotect", Command::Unprotect, Family::Chip, 0, 0, UnprotectForms},
    CommandEntry{"status-register", Command::StatusRegister, Family::Chip, 0, 0, StatusRegisterForms},
    CommandEntry{"checksum", Command::Checksum, Family::FileTools, 1, 1, ChecksumForms},
    CommandEntry{"compare", Command::Compare, Family::FileTools, 2, 2, CompareForms},
};

void appendLines(std::string& text, std::string_view lines, size_t indent)
{
    while (!lines.empty()) {
        const size_t end = lines.find('\n');
        text.append(indent, ' ');
        text.append(lines.substr(0, end));
        text += '\n';
        lines = end == std::string_view::npos ? std::string_view() : lines.substr(end + 1);
    }
}

}  // namespace

std::span<const CommandEntry> CommandTable()
{
    return Commands;
}

const CommandEntry* FindCommand(std::string_view name)
{
    for (const CommandEntry& entry : Commands) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

CommandFamily FamilyOf(const CommandLine& line)
{
    if (line.command == Command::Batch && !line.job.empty())
        return Family::Production;
    for (const CommandEntry& entry : Commands) {
        if (entry.command == line.command)
            return entry.family;
    }
    return Family::Chip;
}

// A synopsis short enough shares its first line with the description; a
// longer one stands on lines of its own above it.
std::string CommandHelpText()
{
    std::string text = "Commands:\n";
    constexpr size_t indent = 2;
    for (const CommandEntry& entry : Commands) {
        for (const CommandForm& form : entry.forms) {
            std::string_view description = form.description;
            const bool shared = form.synopsis.find('\n') == std::string_view::npos &&
                                indent + form.synopsis.size() < DescriptionColumn - 1;
            if (shared) {
                const size_t end = description.find('\n');
                text.append(indent, ' ');
                text.append(form.synopsis);
                text.append(DescriptionColumn - indent - form.synopsis.size(), ' ');
                text.append(description.substr(0, end));
                text += '\n';
                description = end == std::string_view::npos ? std::string_view() : description.substr(end + 1);
            } else {
                appendLines(text, form.synopsis, indent);
            }
            appendLines(text, description, DescriptionColumn);
        }
    }
    return text;
}
