#include "cli/ProductionCommands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/ExitStatus.h"
#include "cli/JobBatch.h"
#include "core/MessageCatalogue.h"
#include "core/Workbench.h"
#include "ops/ProtectChip.h"
#include "ops/StreamSpans.h"
#include "production/CsvExport.h"
#include "production/EngineerPin.h"
#include "production/JobFile.h"
#include "production/JobHistory.h"
#include "production/JobSetup.h"
#include "production/PostgresLog.h"
#include "production/JobValueSetup.h"
#include "production/JobValues.h"
#include "production/ProductionLog.h"
#include "production/RecordJson.h"
#include "production/SerialSequence.h"
#include "production/SqliteLog.h"

namespace {

// Texts of a job file go to a terminal: control characters (C0, DEL and the
// C1 range, which terminals also obey) are shown escaped, never sent.
std::string printable(const std::string& text)
{
    std::string shown;
    char escaped[8];
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (byte == '\n') {
            shown += "\\n";
        } else if (byte == '\t') {
            shown += "\\t";
        } else if (byte == '\\') {
            shown += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else if (c1) {
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned char>(text[++i]));
            shown += escaped;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

}  // namespace

using namespace ExitStatus;
using Command = CommandLine::Command;

int ProductionCommands::run()
{
    switch (line_.command) {
    case Command::Job:
        return job();
    case Command::Log:
        return line_.files[0] == "find" ? findRecords() : exportLog();
    default:
        return context_.loadDatabase() ? JobBatch(context_).run() : FileError;
    }
}

int ProductionCommands::job()
{
    if (line_.files[0] == "show")
        return showJob();
    if (!context_.loadDatabase())
        return FileError;
    if (const int chosen = context_.chooseChip(); chosen != Success)
        return chosen;
    if (line_.rangeGiven() && !context_.applyRange())
        return Failure;
    // The chip named does not go with the flag: a wrong command line.
    if (line_.protectAfter) {
        if (const std::string refusal = ProtectionRefusal(workbench_.catalogue.currentRecord(), English);
            !refusal.empty()) {
            host_.printError(refusal);
            return UsageError;
        }
    }
    return createJob();
}

namespace {

// The PIN comes from a file, so that it never shows in the process list or a
// shell's history; only its first line counts (a trailing CR included).
// `status` tells a file that cannot be read from a PIN that cannot be used.
std::optional<EngineerPin> pinOfFile(const std::string& path, std::string& error, int& status)
{
    status = FileError;
    std::ifstream file(path, std::ios::binary);
    // One character more than a PIN may have, and its line end, tell a
    // longer first line without reading the whole file.
    char start[EngineerPin::LongestPin + 3];
    if (file.is_open())
        file.read(start, sizeof start);
    if (!file.is_open() || file.bad()) {
        error = "cannot read the PIN file " + path;
        return std::nullopt;
    }
    status = UsageError;
    std::string pin(start, size_t(file.gcount()));
    pin = pin.substr(0, pin.find('\n'));
    if (pin.ends_with('\r'))
        pin.pop_back();
    if (const std::string problem = EngineerPin::problemOf(pin); !problem.empty()) {
        error = "the PIN file " + path + ": " + problem;
        return std::nullopt;
    }
    status = Failure;
    std::optional<EngineerPin> hashed = EngineerPin::of(pin);
    if (!hashed)
        error = "the PIN's hash cannot be made: the system's random source failed";
    return hashed;
}

}  // namespace

// --image FILE[@ADDRESS|@REGION]: the text after the last @ is a region of
// the layout or a hexadecimal address; without @, the image goes where a job
// of one image always put it.
int ProductionCommands::imagePlacements(std::vector<ImagePlacement>& images)
{
    std::optional<FlashLayout> layout;
    if (!line_.layout.empty() && !(layout = context_.readLayout()))
        return UsageError;
    for (const std::string& given : line_.images) {
        const size_t at = given.rfind('@');
        if (at == std::string::npos) {
            images.push_back({given, std::nullopt});
            continue;
        }
        const std::string place = given.substr(at + 1);
        ImagePlacement image{given.substr(0, at), std::nullopt};
        uint32_t address = 0;
        if (const LayoutRegion* region = layout ? layout->find(place) : nullptr)
            image.address = region->start;
        else if (!place.empty() && ParseAddressArgument(place, address).empty())
            image.address = address;
        if (image.path.empty() || !image.address) {
            host_.printError("--image " + given + ": \"" + place + "\" is neither a hexadecimal address nor a " +
                             "region of the layout");
            return UsageError;
        }
        images.push_back(image);
    }
    return Success;
}

int ProductionCommands::loadImages(std::vector<ImagePlacement>& images)
{
    if (const int placed = imagePlacements(images); placed != Success)
        return placed;
    for (const ImagePlacement& image : images) {
        if (const std::string problem = ImageProblem(image.path, English); !problem.empty()) {
            host_.printError(problem);
            return FileError;
        }
    }
    // One image at its usual place loads as the window's Open loads it.
    if (images.size() == 1 && !images.front().address)
        return context_.loadFlashFile(images.front().path);
    const ImagesLoad load = LoadJobImages(workbench_, images);
    if (!load.error.empty()) {
        host_.printError(load.error);
        return load.misplaced ? UsageError : FileError;
    }
    return Success;
}

// Fields that overlap or pass the programmed span are a wrong command line;
// a list or folder that cannot be used fails as any file does.
int ProductionCommands::placeValueFields()
{
    if (line_.valueFields.empty())
        return Success;
    const SpanChoice span = WriteSpan(workbench_.buffers, workbench_.catalogue.currentRecord());
    if (span.refusal)
        return Success;  // the job's own checks say why
    std::vector<ValueField> fields = line_.valueFields;
    bool misplaced = false;
    const std::string problem = PrepareValueFields(fields, line_.files[1], line_.serialRule, span.span.start,
                                                   span.span.end, English, &misplaced);
    if (problem.empty())
        return Success;
    host_.printError(printable(problem));
    return misplaced ? UsageError : FileError;
}

int ProductionCommands::createJob()
{
    std::vector<ImagePlacement> images;
    if (const int loaded = loadImages(images); loaded != Success)
        return loaded;
    JobChoices choices;
    choices.options = context_.autoOptions();
    choices.options.protect = line_.protectAfter;
    choices.locked = line_.locked;
    choices.note = line_.note;
    if (line_.target)
        choices.target = *line_.target;
    choices.serial = line_.serialRule;
    choices.operatorRequired = line_.operatorRequired;
    choices.values = line_.valueFields;
    choices.reuseFailedValues = line_.onFail == "reuse";
    std::string error;
    if (const int placed = placeValueFields(); placed != Success)
        return placed;
    if (!line_.pinFile.empty()) {
        int status = Failure;
        choices.pin = pinOfFile(line_.pinFile, error, status);
        if (!choices.pin) {
            host_.printError(error);
            return status;
        }
    }
    const std::string& path = line_.files[1];
    // A job written again goes on with the serial numbers it issued.
    if (const JobFileRead before = JobFile::read(path); before.job && !line_.newSequence)
        choices.serialSequence = SerialSequenceOf(*before.job);
    const std::optional<ProductionJob> made = CreateJob(workbench_, path, images, choices, error);
    if (!made) {
        host_.printError(error);
        return Failure;
    }
    if (error = JobFile::write(path, *made); !error.empty()) {
        host_.printError(error);
        return FileError;
    }
    host_.setFigure("file", path);
    host_.printLine("Job written: " + path);
    return Success;
}


int ProductionCommands::showJob()
{
    const JobFileRead read = JobFile::read(line_.files[1]);
    if (!read.job) {
        host_.printError(printable(read.error));
        return FileError;
    }
    const ProductionJob& job = *read.job;
    const ChipRow& chip = job.chip;
    if (host_.wantsFigures()) {
        // The job as its file holds it, read back through the job's own rules.
        host_.setFigure("job", nlohmann::json::parse(JobFile::text(job), nullptr, false));
        host_.setFigure("name", job.name);
        host_.setFigure("sha256", read.sha256);
    }
    host_.printLine("Job: " + printable(job.name) + (job.locked ? " (locked)" : ""));
    host_.printLine("Job SHA-256: " + read.sha256);
    host_.printLine(printable("Chip: " + chip.cells[ChipRow::Type] + "," + chip.cells[ChipRow::Manufacturer] + "," +
                              chip.cells[ChipRow::Name] + " (" + chip.cells[ChipRow::FlashSize] + " bytes, page " +
                              chip.cells[ChipRow::FlashPage] + ")"));
    host_.printLine(printable("Image: " + job.image + (job.imageAddress ? " at " + HexNumberText(*job.imageAddress) : "") +
                              " (SHA-256 " + job.imageSha256 + ")"));
    for (const ProductionJob::Image& image : job.moreImages)
        host_.printLine(printable("Image: " + image.file + " at " + HexNumberText(image.address) + " (SHA-256 " +
                                  image.sha256 + ")"));
    host_.printLine("Range: " + (job.range ? HexNumberText(job.range->start) + " to " + HexNumberText(job.range->end)
                                           : std::string("the image's length")));
    host_.printLine(std::string("Steps: ") + (job.options.erase ? "erase " : "") +
                    (job.options.program ? "program " : "") + (job.options.verify ? "verify" : ""));
    if (job.options.protect)
        host_.printLine("Protect after programming: every block-protection bit and SRP set");
    host_.printLine("Serial: " + (job.serial ? printable(job.serial->describe()) +
                                                   (job.serial->reuseFailed ? ", reused" : "") +
                                                   "; without a line server the job runs on one station only"
                                             : std::string("none")));
    if (job.serial) {
        if (const std::optional<JobHistory> history = JobHistory::read(JobHistory::pathFor(line_.files[1])))
            host_.printLine(printable("Issued: " + std::to_string(history->chips) + " chips on station " +
                                      history->station + " (log " + history->log + "), next serial " +
                                      (history->next ? job.serial->text(*history->next) : std::string("none"))));
    }
    host_.printLine("Expected: CRC-32 " + job.expected.crc32Text() + ", SHA-256 " + printable(job.expected.sha256));
    if (job.target)
        host_.printLine("Target: " + std::to_string(*job.target) + " good chips");
    if (job.pin)
        host_.printLine("Engineer PIN: set");
    if (job.operatorRequired)
        host_.printLine("Operator: required");
    for (const ValueField& field : job.values)
        host_.printLine(printable("Values: " + field.name() + (field.kind == ValueKind::List
                                                                   ? std::string(" (") + ValueFormName(field.form) +
                                                                         ", SHA-256 " + field.sha256 + ")"
                                                                   : std::string())));
    if (!job.values.empty())
        host_.printLine(std::string("Values of a failed chip: ") + (job.reuseFailedValues ? "reused" : "burned"));
    if (!job.note.empty())
        host_.printLine("Note: " + printable(job.note));
    return Success;
}

// The station's log named by --log-db, else the default one. A log that
// does not exist is refused before the database would create it: a mistyped
// path must not pass for an empty log.
std::unique_ptr<SqliteLog> ProductionCommands::openExistingLog(int& status)
{
    std::string path = SqliteLog::defaultPath();
    for (const std::string& target : line_.logDb) {
        if (!ProductionLog::isServerAddress(target)) {
            path = target;
            break;
        }
    }
    status = FileError;
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored)) {
        host_.printError(MessageCatalogue::format(Msg::CliLogMissing, English, {path}));
        return nullptr;
    }
    std::string error;
    std::unique_ptr<SqliteLog> log = SqliteLog::open(path, error, workbench_.languageIndex);
    if (!log)
        host_.printError(error);
    return log;
}

int ProductionCommands::exportLog()
{
    int status = Success;
    const std::unique_ptr<SqliteLog> log = openExistingLog(status);
    if (!log)
        return status;
    int64_t count = 0;
    if (const std::string error = ExportCsv(*log, LogFilter{line_.job, line_.since, 0}, line_.csv, count);
        !error.empty()) {
        host_.printError(error);
        return FileError;
    }
    host_.setFigure("exported", count);
    host_.setFigure("csv", line_.csv);
    host_.printLine("Exported " + std::to_string(count) + " records to " + line_.csv);
    return Success;
}

// With a line server among --log-db, the line's records of every station;
// else the station's own log.
int ProductionCommands::findRecords()
{
    LogFilter filter{line_.job, line_.since, 0, 0, line_.serial, line_.crc};
    std::vector<LogRecord> records;
    std::string searched;
    const auto server = std::find_if(line_.logDb.begin(), line_.logDb.end(), ProductionLog::isServerAddress);
    if (server != line_.logDb.end()) {
        searched = "the line server's log";
        const PostgresSession::Reply reply = PostgresLog(*server).find(filter, records);
        if (!reply.ok()) {
            host_.printError(reply.message);
            return ProductionRefused;
        }
    } else {
        int status = Success;
        const std::unique_ptr<SqliteLog> log = openExistingLog(status);
        if (!log)
            return status;
        searched = log->path();
        std::string error;
        if (!log->forEachRecord(filter, [&records](const LogRecord& record) { records.push_back(record); }, error)) {
            host_.printError(error);
            return FileError;
        }
    }
    host_.setFigure("records", nlohmann::json::array());
    for (const LogRecord& record : records)
        host_.appendFigure("records", RecordJson(record));
    if (records.empty()) {
        host_.printNote(MessageCatalogue::format(Msg::CliNoRecordsMatch, English, {searched}));
        return Success;
    }
    host_.printLine(CsvHeaderRow());
    for (const LogRecord& record : records)
        host_.printLine(printable(CsvRecordRow(record)));
    return Success;
}
