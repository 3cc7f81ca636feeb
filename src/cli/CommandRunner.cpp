#include "cli/CommandRunner.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>

#include <unistd.h>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "core/MessageCatalogue.h"
#include "buffers/BufferCommands.h"
#include "buffers/BufferFiles.h"
#include "buffers/Checksums.h"
#include "buffers/FileComparison.h"
#include "buffers/HexText.h"
#include "chips/ChipDatabaseFile.h"
#include "cli/ChipChoice.h"
#include "cli/GangDisplay.h"
#include "link/DeviceSession.h"
#include "link/ProgrammerIdentity.h"
#include "maint/SimulatorLibrary.h"
#include "maint/FirmwareUpgrade.h"
#include "maint/HardwareInfo.h"
#include "ops/OperationFrame.h"
#include "ops/SelectChip.h"
#include "production/CsvExport.h"
#include "production/GangRun.h"
#include "production/JobFile.h"
#include "production/JobHistory.h"
#include "production/JobSetup.h"
#include "production/LineServerText.h"
#include "production/ProductionLog.h"
#include "production/ProductionRun.h"
#include "ops/UpdateOperations.h"

namespace {

using Command = CommandLine::Command;

volatile std::sig_atomic_t interrupted = 0;

// How long a production batch waits at its end for the line server; with the
// forwarder's stop after it, the end never waits more than 5 s for a server
// that does not answer.
constexpr int64_t ForwardWaitMs = 3000;

// The first Ctrl-C lets the batch finish the chip in hand; a second one ends
// the process at once.
extern "C" void stopBatch(int)
{
    interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

const std::string& text(Msg message)
{
    return MessageCatalogue::text(message, English);
}

std::string hexText(uint32_t value)
{
    return "0x" + HexFieldText(value);
}

Operation operationOf(Command command)
{
    switch (command) {
    case Command::Blank:
        return Operation::BlankCheck;
    case Command::Erase:
        return Operation::Erase;
    case Command::Write:
        return Operation::Write;
    case Command::Verify:
        return Operation::Verify;
    case Command::Auto:
        return Operation::Auto;
    default:
        return Operation::Read;
    }
}

}  // namespace

CommandRunner::CommandRunner(const CommandLine& line, TerminalHost& host, std::string executablePath)
    : line_(line), host_(host), executablePath_(std::move(executablePath))
{
    workbench_.languageIndex = English;
    workbench_.link.setSleep([this](uint32_t milliseconds) { host_.sleepMs(milliseconds); });
    workbench_.link.setTarget(line_.programmer);
}

int CommandRunner::run()
{
    TUsbBulk::setTraceEnabled(line_.verbose);
    if (line_.simulator) {
        std::string error;
        const std::unique_ptr<SimulatorLibrary> simulator = SimulatorLibrary::bind(executablePath_, line_.scenario, error);
        if (!simulator) {
            host_.printError(error);
            return Failure;
        }
        // Nothing here reads the transcript; recording every block of a 64 MiB
        // chip would only cost time and memory.
        simulator->setTranscriptEnabled(false);
    }
    switch (line_.command) {
    case Command::Status:
        return status();
    case Command::Convert:
        return convert();
    case Command::Info:
        return info();
    case Command::Upgrade:
        return upgrade();
    case Command::List:
        return loadDatabase() ? list() : Failure;
    case Command::Programmers:
        return programmers();
    case Command::Job:
        return job();
    case Command::Log:
        return exportLog();
    case Command::Checksum:
        return checksum();
    case Command::Compare:
        return compare();
    default:
        return runChipCommand();
    }
}

int CommandRunner::runChipCommand()
{
    if (!loadDatabase())
        return Failure;
    if (line_.command == Command::Batch && !line_.job.empty())
        return jobBatch();
    if (line_.command == Command::Detect) {
        if (!line_.chip.empty() && !chooseChip())
            return Failure;
        return detect();
    }
    if (!(line_.chip.empty() ? detectChip() : chooseChip()))
        return Failure;
    // Which chip the command works on is context; detect's own result is the chip.
    host_.printNote(chipText());
    if (line_.rangeGiven() && !applyRange())
        return Failure;
    switch (line_.command) {
    case Command::Read:
        return readToFile();
    case Command::Batch:
        return batch();
    case Command::Write:
    case Command::Verify:
    case Command::Auto:
        if (!loadFlashFile(line_.files.front()))
            return Failure;
        return operate(operationOf(line_.command));
    case Command::Update:
        if (!loadFlashFile(line_.files.front()))
            return Failure;
        return RunUpdate(workbench_, host_, UpdateOptions{line_.verifyAll}) ? Success : Failure;
    case Command::Unprotect:
        return RunRemoveProtection(workbench_, host_) ? Success : Failure;
    default:
        return operate(operationOf(line_.command));
    }
}

// The window takes a backwards range as an empty one and still reports its
// Write as complete; from a script that would pass for a success.
bool CommandRunner::applyRange()
{
    AddressRange& range = workbench_.buffers.range;
    const uint32_t start = line_.rangeStart.value_or(0);
    // The chip selection has set the end to the chip's last byte.
    const uint32_t end = line_.rangeEnd.value_or(static_cast<uint32_t>(range.end));
    if (start > end) {
        host_.printError("the range start " + hexText(start) + " lies after its end " + hexText(end));
        return false;
    }
    range.enabled = true;
    range.start = static_cast<int32_t>(start);
    range.end = static_cast<int32_t>(end);
    return true;
}

bool CommandRunner::loadDatabase()
{
    const std::string path = ChipDatabaseFile::pathFor(executablePath_);
    if (LoadChipDatabase(workbench_, host_, path) == 1)
        return true;
    host_.printError("cannot load the chip database " + path);
    return false;
}

bool CommandRunner::chooseChip()
{
    const ChipChoice choice = ChooseChip(workbench_.catalogue, line_.chip);
    if (!choice.unique()) {
        host_.printError(choice.refusal(line_.chip));
        return false;
    }
    if (SelectSearchResult(workbench_, host_, choice.candidates.front()) < 0) {
        host_.printError("the chip " + ChipTitleText(choice.candidates.front()) + " cannot be selected");
        return false;
    }
    return true;
}

// Detection settles the chip only for a serial flash the database knows. An
// EEPROM family tells just its type and an unknown id nothing; guessing the
// chip from that could program with the wrong size or page.
bool CommandRunner::detectChip()
{
    const DetectionOutcome outcome = DetectChip(workbench_, host_);
    if (outcome == DetectionOutcome::FamilyDetected || outcome == DetectionOutcome::SerialFlashUnknown)
        host_.printError("the seated chip cannot be told exactly; name it with --chip (see 'belcor-cli list')");
    return outcome == DetectionOutcome::SerialFlashFound;
}

std::string CommandRunner::chipText() const
{
    const ChipCatalogue& catalogue = workbench_.catalogue;
    const ChipRecord& chip = catalogue.currentRecord();
    return "Chip: " + ChipTitleText(ChipRowOf(catalogue, catalogue.currentChip)) + " (" +
           std::to_string(chip.flashSize) + " bytes, page " + std::to_string(chip.flashPage) + ")";
}

int CommandRunner::status()
{
    ConnectionCheck(workbench_, host_);
    host_.printLine(host_.stateText());
    return host_.stateText() == text(Msg::Connected) ? Success : Failure;
}

int CommandRunner::detect()
{
    if (DetectChip(workbench_, host_) != DetectionOutcome::SerialFlashFound)
        return Failure;
    host_.printLine(chipText());
    return Success;
}

int CommandRunner::operate(Operation operation)
{
    // The only question an operation asks: change a chip whose identification differs.
    host_.setQuestionAnswer(line_.force);
    return RunOperation(workbench_, host_, operation, autoOptions()) ? Success : Failure;
}

int CommandRunner::readToFile()
{
    if (!RunOperation(workbench_, host_, Operation::Read))
        return Failure;
    const std::string& path = line_.files.front();
    const uint32_t size = workbench_.catalogue.currentRecord().flashSize;
    host_.setQuestionAnswer(true);
    if (!SaveBufferFile(path, workbench_.buffers.flash(size), size, host_, English))
        return Failure;
    host_.printLine("Saved " + path + " (" + std::to_string(size) + " bytes)");
    return Success;
}

// The file goes where the window's Open puts it: at the range start when a
// range is given. A file longer than the chip is refused rather than cut.
bool CommandRunner::loadFlashFile(const std::string& path)
{
    const int errorsBefore = host_.errorCount();
    const int declinedBefore = host_.declinedQuestions();
    host_.setQuestionAnswer(false);
    OpenBufferFile(workbench_, host_, BufferTab::Flash, path);
    if (host_.declinedQuestions() != declinedBefore) {
        host_.printError(path + " is longer than the chip; nothing was done");
        return false;
    }
    if (host_.errorCount() != errorsBefore)
        return false;
    const BufferSet& buffers = workbench_.buffers;
    // Write and Verify would end silently with no data: that is no success.
    if (buffers.dataLength == (buffers.range.enabled ? buffers.range.start : 0)) {
        host_.printError(path + " holds no data");
        return false;
    }
    return true;
}

AutoOptions CommandRunner::autoOptions() const
{
    AutoOptions options;
    options.erase = !line_.noErase;
    options.verify = !line_.noVerify;
    return options;
}

namespace {

// A chip refused by the question about its ID stays in the socket, and the
// batch loop would wait for it to be taken out for ever: the batch ends there.
class RefusedChipStop : public BatchChipHooks {
public:
    explicit RefusedChipStop(const TerminalHost& host) : host_(host) {}
    bool refused() const { return refused_; }

private:
    bool beforeChip(const std::array<uint8_t, 4>&) override
    {
        declinedBefore_ = host_.declinedQuestions();
        return true;
    }
    bool afterChip(bool passed) override
    {
        refused_ = !passed && host_.declinedQuestions() != declinedBefore_;
        return !refused_;
    }

    const TerminalHost& host_;
    int declinedBefore_ = 0;
    bool refused_ = false;
};

}  // namespace

int CommandRunner::batch()
{
    if (!loadFlashFile(line_.files.front()))
        return Failure;
    // A range past the chip refuses every chip alike: refused before the first.
    if (const std::string refusal = RefusalOf(workbench_, workbench_.catalogue.currentRecord(), Operation::Auto,
                                              autoOptions());
        !refusal.empty()) {
        host_.printError(refusal);
        return Failure;
    }
    const int64_t runsBefore = host_.timedOperations();
    const int errorsBefore = host_.errorCount();
    const auto chipsDone = [&] { return int64_t{host_.timedOperations()} - runsBefore; };
    host_.printLine(line_.batchCount ? "Batch: waiting for " + std::to_string(*line_.batchCount) + " chips"
                                     : "Batch: waiting for chips; Ctrl-C stops");
    interrupted = 0;
    host_.setQuestionAnswer(line_.force);
    std::signal(SIGINT, stopBatch);
    RefusedChipStop refusals(host_);
    RunBatch(workbench_, host_, autoOptions(), [&] {
        return interrupted == 0 && (!line_.batchCount || chipsDone() < *line_.batchCount);
    }, &refusals);
    std::signal(SIGINT, SIG_DFL);
    if (refusals.refused())
        host_.printError("the seated chip was refused; the batch stops rather than wait for it to be taken out");
    const int failed = host_.errorCount() - errorsBefore;
    host_.printLine("Batch: " + std::to_string(chipsDone()) + (chipsDone() == 1 ? " chip" : " chips") + " done, " +
                    std::to_string(failed) + " failed");
    const bool countReached = !line_.batchCount || chipsDone() >= *line_.batchCount;
    return failed == 0 && countReached && !refusals.refused() ? Success : Failure;
}

int CommandRunner::convert()
{
    const std::string& input = line_.files[0];
    const std::string& output = line_.files[1];
    const uint32_t capacity = line_.capacity.value_or(BufferSet::FlashCapacity);
    // Erased only as far as the file reaches: faulting in 64 MiB for a smaller
    // image would cost more than the conversion itself.
    std::optional<ErasedBlock> block;
    try {
        block.emplace(capacity);
    } catch (const std::bad_alloc&) {
        host_.printError("not enough memory for a block of " + std::to_string(capacity) + " bytes");
        return Failure;
    }
    const FileLoad load = LoadBufferFile(input, LoadTarget(*block), workbench_.languageIndex);
    for (const std::string& message : LoadMessages(load, input, workbench_.languageIndex))
        host_.printError(message);
    if (!load.ok())
        return Failure;
    const auto extent = static_cast<uint32_t>(load.count);
    host_.setQuestionAnswer(true);
    if (!SaveBufferFile(output, block->reach(extent), extent, host_, English))
        return Failure;
    host_.printLine("Extent: " + std::to_string(extent) + " bytes (" + hexText(extent) + ")");
    return Success;
}

int CommandRunner::info()
{
    HardwareInfo info;
    if (!HardwareInfo::query(workbench_.link, info)) {
        host_.printError(text(Msg::NotConnected));
        return Failure;
    }
    host_.printLine("Hardware version: " + info.hardware);
    host_.printLine("Firmware version: " + info.firmware);
    host_.printLine("Series number: " + info.serial);
    return Success;
}

int CommandRunner::upgrade()
{
    host_.setStateText("Upgrade firmware");
    return UpgradeFirmware(workbench_, host_, line_.files.front()) ? Success : Failure;
}

int CommandRunner::list()
{
    const ChipCatalogue& catalogue = workbench_.catalogue;
    std::vector<int32_t> slots;
    if (line_.files.empty()) {
        for (int32_t slot = 0; slot < catalogue.recordCount(); ++slot)
            slots.push_back(slot);
    } else {
        for (const ChipSearchRow& row : FindChips(catalogue, line_.files.front()))
            slots.push_back(row.slot);
    }
    for (const int32_t slot : slots) {
        const ChipRecord& chip = catalogue.ChipDatabase[static_cast<size_t>(slot)];
        host_.printLine(ChipTitleText(ChipRowOf(catalogue, slot)) + "," + std::to_string(chip.flashSize) + "," +
                        std::to_string(chip.flashPage));
    }
    return slots.empty() ? Failure : Success;
}

// One line per programmer. The serial number and firmware come from the
// programmer's hardware information, which only a free programmer can give;
// one that another program holds shows its USB serial string instead.
int CommandRunner::programmers()
{
    using namespace ProgrammerIdentity;
    const std::vector<TUsbBulk::Port> ports = TUsbBulk::findPorts(VendorId, Manufacturer, ProductId, Product);
    if (ports.empty()) {
        host_.printError(text(Msg::NotConnected));
        return Failure;
    }
    host_.printLine("BUS/DEVICE  SERIAL         FIRMWARE  STATE");
    for (const TUsbBulk::Port& port : ports) {
        HardwareInfo info;
        info.serial = port.serial;
        std::string state = "in use";
        if (port.claimable) {
            TUsbBulk link;
            link.setTarget(port.position);
            state = HardwareInfo::query(link, info) ? "ready" : "no answer";
        }
        const auto column = [](std::string value, size_t width) {
            value = value.empty() ? "-" : value;
            return value.size() < width ? value + std::string(width - value.size(), ' ') : value + " ";
        };
        host_.printLine(column(port.position, 12) + column(info.serial, 15) + column(info.firmware, 10) + state);
    }
    return Success;
}

int CommandRunner::job()
{
    if (line_.files[0] == "show")
        return showJob();
    if (!loadDatabase() || !chooseChip())
        return Failure;
    if (line_.rangeGiven() && !applyRange())
        return Failure;
    return createJob();
}

int CommandRunner::createJob()
{
    if (const std::string problem = ImageProblem(line_.image, English); !problem.empty()) {
        host_.printError(problem);
        return Failure;
    }
    if (!loadFlashFile(line_.image))
        return Failure;
    JobChoices choices;
    choices.options = autoOptions();
    choices.locked = line_.locked;
    choices.note = line_.note;
    if (line_.target)
        choices.target = *line_.target;
    std::string error;
    if (!line_.serial.empty()) {
        choices.serial = ParseSerialRule(line_.serial, error);
        if (!choices.serial) {
            host_.printError(error);
            return Failure;
        }
        choices.serial->reuseFailed = line_.reuseSerials;
    }
    const std::string& path = line_.files[1];
    const std::optional<ProductionJob> made = CreateJob(workbench_, path, line_.image, choices, error);
    if (!made) {
        host_.printError(error);
        return Failure;
    }
    if (error = JobFile::write(path, *made); !error.empty()) {
        host_.printError(error);
        return Failure;
    }
    host_.printLine("Job written: " + path);
    return Success;
}

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

int CommandRunner::showJob()
{
    const JobFileRead read = JobFile::read(line_.files[1]);
    if (!read.job) {
        host_.printError(printable(read.error));
        return Failure;
    }
    const ProductionJob& job = *read.job;
    const ChipRow& chip = job.chip;
    host_.printLine("Job: " + printable(job.name) + (job.locked ? " (locked)" : ""));
    host_.printLine("Job SHA-256: " + read.sha256);
    host_.printLine(printable("Chip: " + chip.cells[ChipRow::Type] + "," + chip.cells[ChipRow::Manufacturer] + "," +
                              chip.cells[ChipRow::Name] + " (" + chip.cells[ChipRow::FlashSize] + " bytes, page " +
                              chip.cells[ChipRow::FlashPage] + ")"));
    host_.printLine(printable("Image: " + job.image + " (SHA-256 " + job.imageSha256 + ")"));
    host_.printLine("Range: " + (job.range ? hexText(job.range->start) + " to " + hexText(job.range->end)
                                           : std::string("the image's length")));
    host_.printLine(std::string("Steps: ") + (job.options.erase ? "erase " : "") +
                    (job.options.program ? "program " : "") + (job.options.verify ? "verify" : ""));
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
        host_.printLine("Target: " + std::to_string(*job.target) + " chips");
    if (!job.note.empty())
        host_.printLine("Note: " + printable(job.note));
    return Success;
}

namespace {

std::string countersText(const ProductionCounters& counters, std::optional<int64_t> target)
{
    char yield[32] = "-";
    if (const std::optional<double> percent = counters.yieldPercent())
        std::snprintf(yield, sizeof yield, "%.1f%%", *percent);
    std::string text = std::to_string(counters.passed) + " passed, " + std::to_string(counters.failed) + " failed, " +
                       (counters.interrupted ? std::to_string(counters.interrupted) + " interrupted, " : "") +
                       "yield " + yield;
    if (const std::optional<int64_t> cycle = counters.averageCycleMs())
        text += ", cycle " + std::to_string(*cycle) + " ms";
    if (const std::optional<double> rate = counters.chipsPerHour())
        text += ", " + std::to_string(static_cast<int64_t>(*rate)) + " chips/h";
    if (target) {
        if (const std::optional<int64_t> left = counters.timeLeftMs(*target))
            text += ", time left " + DurationText(*left);
    }
    return text;
}

}  // namespace

int CommandRunner::jobBatch()
{
    const JobFileRead read = JobFile::read(line_.job);
    if (!read.job) {
        host_.printError(read.error);
        return Failure;
    }
    const ProductionJob& job = *read.job;
    if (const std::string refusal = ApplyJob(workbench_, host_, job, line_.job); !refusal.empty()) {
        host_.printError(refusal);
        return Failure;
    }
    host_.printNote(chipText());
    std::string error;
    const std::unique_ptr<ProductionLog> log = ProductionLog::open(line_.logDb, error);
    if (!log) {
        host_.printError(error);
        return Failure;
    }
    if (!line_.programmers.empty())
        return gangBatch(job, read.sha256, *log);
    HardwareInfo programmer;
    HardwareInfo::query(workbench_.link, programmer);

    ProductionRun::Settings settings;
    settings.jobHash = read.sha256;
    settings.programmer = programmer.serial;
    if (line_.batchCount)
        settings.target = *line_.batchCount;
    ProductionRun production(workbench_, host_, *log, job, settings);
    // The target counts this run's chips; the time left goes by the job's average cycle.
    const auto runTarget = [&] {
        return settings.target ? std::optional<int64_t>(log->local().counters(job.name).total() +
                                                        *settings.target - production.done())
                               : std::nullopt;
    };
    production.recorded = [&](const LogRecord& record) {
        host_.printLine("Chip " + std::to_string(production.done()) + ": " + record.result +
                        (record.serial.empty() ? "" : ", serial " + record.serial) + ", CRC-32 " + record.crc32 +
                        (record.message.empty() ? "" : ", " + record.message) + " | " +
                        countersText(log->local().counters(job.name), runTarget()));
    };
    host_.printLine("Job " + job.name + (job.locked ? " (locked)" : "") + ": " +
                    countersText(log->local().counters(job.name), std::nullopt));
    host_.printLine(line_.batchCount ? "Batch: waiting for " + std::to_string(*line_.batchCount) + " chips"
                                     : "Batch: waiting for chips; Ctrl-C stops");
    interrupted = 0;
    std::signal(SIGINT, stopBatch);
    production.run([] { return interrupted == 0; });
    std::signal(SIGINT, SIG_DFL);
    if (!production.stopReason().empty())
        host_.printError(production.stopReason());
    host_.printLine("Batch: " + std::to_string(production.done()) + (production.done() == 1 ? " chip" : " chips") +
                    " done, " + std::to_string(production.failed()) + " failed");
    host_.printLine("Job " + job.name + ": " + countersText(log->local().counters(job.name), std::nullopt));
    reportForwarding(*log);
    const bool countReached = !line_.batchCount || production.done() >= *line_.batchCount;
    return production.stopReason().empty() && production.failed() == 0 && countReached ? Success : Failure;
}

void CommandRunner::reportForwarding(ProductionLog& log)
{
    LogForwarder* forwarder = log.forwarder();
    if (!forwarder)
        return;
    // A moment for the last records; what the server has not taken waits
    // in the station's log for the next run.
    forwarder->drain(ForwardWaitMs);
    host_.printLine("Log server: " + LineServerText(forwarder->status(), workbench_.languageIndex));
}

// "all": every programmer no other program holds, by serial number (by bus
// position when it reports none); else the serial numbers given.
std::vector<std::string> CommandRunner::gangProgrammers()
{
    std::vector<std::string> chosen;
    if (line_.programmers == "all") {
        using namespace ProgrammerIdentity;
        for (const TUsbBulk::Port& port : TUsbBulk::findPorts(VendorId, Manufacturer, ProductId, Product)) {
            if (port.claimable)
                chosen.push_back(port.serial.empty() ? port.position : port.serial);
        }
        return chosen;
    }
    size_t start = 0;
    for (;;) {
        const size_t comma = line_.programmers.find(',', start);
        const std::string item = line_.programmers.substr(start, comma - start);
        if (!item.empty())
            chosen.push_back(item);
        if (comma == std::string::npos)
            return chosen;
        start = comma + 1;
    }
}

// One batch loop per programmer, each on its own thread; this thread shows
// them: one line per programmer redrawn in place on a terminal, a plain line
// per chip otherwise.
int CommandRunner::gangBatch(const ProductionJob& job, const std::string& jobHash, ProductionLog& log)
{
    const std::vector<std::string> programmers = gangProgrammers();
    if (programmers.empty()) {
        host_.printError(text(Msg::NotConnected));
        return Failure;
    }
    GangRun::Settings settings;
    settings.jobHash = jobHash;
    if (line_.batchCount)
        settings.target = *line_.batchCount;
    GangRun gang(workbench_, log, job, settings, programmers);
    const bool terminal = isatty(STDOUT_FILENO) != 0;
    std::mutex printing;
    if (!terminal) {
        gang.recorded = [&](size_t, const LogRecord& record) {
            const std::lock_guard lock(printing);
            host_.printLine("[" + record.programmer + "] chip " + record.result +
                            (record.serial.empty() ? "" : ", serial " + record.serial) + ", CRC-32 " + record.crc32 +
                            (record.message.empty() ? "" : ", " + record.message));
        };
    }
    std::string names;
    for (const std::string& programmer : programmers)
        names += (names.empty() ? "" : ", ") + programmer;
    host_.printLine("Job " + job.name + (job.locked ? " (locked)" : "") + " on " + std::to_string(programmers.size()) +
                    " programmers: " + names);
    host_.printLine(line_.batchCount ? "Batch: waiting for " + std::to_string(*line_.batchCount) + " chips"
                                     : "Batch: waiting for chips; Ctrl-C stops");
    interrupted = 0;
    std::signal(SIGINT, stopBatch);
    gang.start([] { return interrupted == 0; });
    GangDisplay display(stdout);
    const auto started = std::chrono::steady_clock::now();
    const auto redraw = [&] {
        const int64_t elapsedMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        const std::optional<int64_t> chipsLeft =
            line_.batchCount ? std::optional<int64_t>(std::max<int64_t>(*line_.batchCount - gang.done(), 0))
                             : std::nullopt;
        display.draw(gang.views(), chipsLeft, elapsedMs);
    };
    while (gang.running()) {
        if (terminal)
            redraw();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    gang.wait();
    std::signal(SIGINT, SIG_DFL);
    const std::vector<GangRun::SeatView> views = gang.views();
    if (terminal)
        redraw();
    bool stoppedByItself = false;
    for (const GangRun::SeatView& view : views) {
        host_.printLine("Programmer " + view.programmer + ": " + std::to_string(view.passed + view.failed) +
                        " done, " + std::to_string(view.passed) + " passed, " + std::to_string(view.failed) +
                        " failed");
        if (!view.stopReason.empty()) {
            host_.printError(view.programmer + ": " + view.stopReason);
            stoppedByItself = true;
        }
    }
    host_.printLine("Batch: " + std::to_string(gang.done()) + (gang.done() == 1 ? " chip" : " chips") + " done, " +
                    std::to_string(gang.failed()) + " failed");
    // The job's counters average each programmer's own cycle; the station
    // as a whole does the chips of all its programmers in that time.
    const double hours = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() / 3600.0;
    if (gang.done() > 0 && hours > 0)
        host_.printLine("Station: " + std::to_string(static_cast<int64_t>(double(gang.done()) / hours)) +
                        " chips/h on " + std::to_string(programmers.size()) + " programmers");
    host_.printLine("Job " + job.name + ": " + countersText(log.local().counters(job.name), std::nullopt));
    reportForwarding(log);
    const bool countReached = !line_.batchCount || gang.done() >= *line_.batchCount;
    return !stoppedByItself && gang.failed() == 0 && countReached ? Success : Failure;
}

int CommandRunner::exportLog()
{
    std::vector<std::string> files;
    for (const std::string& target : line_.logDb) {
        if (!ProductionLog::isServerAddress(target))
            files.push_back(target);
    }
    std::string error;
    const std::unique_ptr<SqliteLog> log = SqliteLog::open(files.empty() ? SqliteLog::defaultPath() : files.front(),
                                                           error);
    if (!log) {
        host_.printError(error);
        return Failure;
    }
    int64_t count = 0;
    if (error = ExportCsv(*log, LogFilter{line_.job, line_.since, 0}, line_.csv, count); !error.empty()) {
        host_.printError(error);
        return Failure;
    }
    host_.printLine("Exported " + std::to_string(count) + " records to " + line_.csv);
    return Success;
}

int CommandRunner::checksum()
{
    const std::string& path = line_.files.front();
    // One pass as the file is read: the image's bytes from the range's start
    // up to its end, when given, go to the hash; the end is known only once
    // the file's extent is.
    const size_t start = line_.rangeStart.value_or(0);
    const size_t limit = line_.rangeEnd ? size_t(*line_.rangeEnd) + 1 : SIZE_MAX;
    ImageHash hash;
    size_t address = 0;
    const FileLoad load = StreamBufferFile(path, BufferSet::FlashCapacity, [&](const uint8_t* bytes, size_t count) {
        const size_t from = std::clamp(start, address, address + count);
        const size_t to = std::clamp(limit, address, address + count);
        if (from < to)
            hash.add(bytes + (from - address), to - from);
        address += count;
    }, English);
    for (const std::string& error : LoadMessages(load, path, English))
        host_.printError(error);
    if (!load.ok())
        return Failure;
    const size_t extent = size_t(load.count);
    size_t end = extent;
    if (line_.rangeGiven()) {
        end = size_t(line_.rangeEnd.value_or(uint32_t(extent ? extent - 1 : 0))) + 1;
        if (start >= end) {
            host_.printError("the range's start lies after its end");
            return Failure;
        }
        if (end > BufferSet::FlashCapacity) {
            host_.printError("the range ends past the 64 MiB a file may fill");
            return Failure;
        }
        host_.printLine("Range: " + hexText(uint32_t(start)) + " to " + hexText(uint32_t(end - 1)) + " (" +
                        std::to_string(end - start) + " bytes)");
    } else {
        host_.printLine("Extent: " + std::to_string(end) + " bytes (" + hexText(uint32_t(end)) + ")");
    }
    // Past the file's extent the image is erased.
    const size_t erasedFrom = std::max(start, extent);
    hash.addErased(end > erasedFrom ? end - erasedFrom : 0);
    const ImageHashes sums = hash.finish();
    host_.printLine("CRC-32: " + sums.crc32Text());
    host_.printLine("SHA-256: " + sums.sha256Text());
    return Success;
}

int CommandRunner::compare()
{
    const LoadedImage first = LoadImageFile(line_.files[0], BufferSet::FlashCapacity);
    for (const std::string& error : first.errors)
        host_.printError(line_.files[0] + ": " + error);
    if (!first.ok())
        return CompareError;
    const FileComparison result =
        CompareWithFile(first.block.reach(first.block.capacity()), first.block.capacity(), first.extent, line_.files[1]);
    for (const std::string& error : result.errors)
        host_.printError(line_.files[1] + ": " + error);
    if (!result.ok())
        return CompareError;
    for (const DifferingRange& range : result.comparison.ranges) {
        host_.printLine(hexText(uint32_t(range.start)) + " to " + hexText(uint32_t(range.start + range.length - 1)) +
                        ": " + std::to_string(range.length) + (range.length == 1 ? " byte" : " bytes"));
    }
    if (result.comparison.equal()) {
        host_.printLine("Equal over " + std::to_string(result.compared) + " bytes");
        return Success;
    }
    host_.printLine(std::to_string(result.comparison.rangeCount) + " differing ranges, " +
                    std::to_string(result.comparison.differingBytes) + " differing bytes");
    return Failure;
}
