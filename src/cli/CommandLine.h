#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "production/SerialRule.h"
#include "production/ValueField.h"

// What belcor-cli was asked to do, as parsed from its arguments.
struct CommandLine {
    enum class Command { Help, Status, Detect, Read, Blank, Erase, Write, Verify, Auto, Batch, Convert, Info,
                         Upgrade, List, Programmers, Job, Log, Update, Unprotect, Checksum, Compare,
                         StatusRegister };

    Command command = Command::Help;
    std::vector<std::string> files;  // the command's own arguments, in order

    bool simulator = false;
    std::string scenario;  // empty: a blank 8 MiB serial flash
    bool verbose = false;
    bool json = false;  // one JSON object on stdout, JSON lines on stderr
    // Which programmer: a serial number or "BUS/DEVICE"; empty: the first found.
    std::string programmer;
    // batch --job: "all" or SERIAL,SERIAL,...: a gang run, one loop per programmer.
    std::string programmers;

    // Empty: detect the seated chip. "NAME" or "TYPE,MANUFACTURER,NAME".
    std::string chip;
    std::optional<uint32_t> rangeStart;
    std::optional<uint32_t> rangeEnd;

    bool force = false;                  // erase, write, auto, batch: a different seated chip is changed anyway
    bool yes = false;                    // chip commands: the operation's questions are answered yes
    bool noErase = false;                // auto, batch
    bool noVerify = false;               // auto, batch
    bool verifyAll = false;              // update
    std::optional<int64_t> batchCount;   // batch: stop after this many chips
    std::optional<uint32_t> target;      // job create: the good chips the job makes
    std::optional<uint32_t> capacity;    // convert: size of the load block

    // Production: job create's image, serial rule (log find's serial number),
    // lock, note, engineer PIN file and whether runs name their operator;
    // batch's job file (or the log commands' job name) and operator; the log
    // databases; export's file and the log commands' start.
    // job create's --image FILE[@ADDRESS|@REGION], in order given.
    std::vector<std::string> images;
    std::string serial;
    std::optional<SerialRule> serialRule;  // parsed from `serial`
    bool locked = false;
    bool reuseSerials = false;
    bool newSequence = false;  // job create: a new serial sequence even where JOB had one
    // job create's value fields (--list, --mac, --files) and --on-fail.
    std::vector<ValueField> valueFields;
    std::string onFail;
    std::string note;
    std::string pinFile;
    bool operatorRequired = false;
    bool protectAfter = false;  // job create: each chip's block protection set after programming
    std::string job;
    std::string operatorName;
    std::vector<std::string> logDb;
    std::string csv;
    std::string since;
    std::string crc;  // log find: a CRC-32 as the log keeps it (eight upper-case hex digits)

    // A layout file, and the regions of it that write, verify, auto and update are limited to.
    std::string layout;
    std::vector<std::string> regions;
    // status-register --set: the value to write.
    std::optional<uint8_t> statusValue;

    bool rangeGiven() const { return rangeStart || rangeEnd; }
};

struct ParsedCommandLine {
    std::optional<CommandLine> line;
    std::string error;  // set when line is empty
};

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Whether the arguments ask for --json, read before any "--": so that even a
// command line that cannot be parsed is answered in JSON.
bool AsksForJson(const std::vector<std::string>& arguments);
// The command as --json names it: "read", "job create", "log find"; for a
// line that could not be parsed, its first word when that is a command
// (empty otherwise).
std::string CommandName(const CommandLine& line);
std::string CommandName(const std::vector<std::string>& arguments);

// A hexadecimal address argument, with or without "0x": the conversion's
// message, empty on success.
std::string ParseAddressArgument(std::string text, uint32_t& value);

// The one-line synopsis, and the full text of --help.
std::string UsageText();
std::string HelpText();
