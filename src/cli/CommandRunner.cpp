#include "cli/CommandRunner.h"

#include <csignal>
#include <memory>
#include <new>
#include <vector>

#include "core/MessageCatalogue.h"
#include "buffers/BufferCommands.h"
#include "buffers/BufferFiles.h"
#include "buffers/HexText.h"
#include "chips/ChipDatabaseFile.h"
#include "cli/ChipChoice.h"
#include "link/DeviceSession.h"
#include "link/ProgrammerIdentity.h"
#include "maint/SimulatorLibrary.h"
#include "maint/FirmwareUpgrade.h"
#include "maint/HardwareInfo.h"
#include "ops/SelectChip.h"

namespace {

using Command = CommandLine::Command;

volatile std::sig_atomic_t interrupted = 0;

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
    default:
        return runChipCommand();
    }
}

int CommandRunner::runChipCommand()
{
    if (!loadDatabase())
        return Failure;
    if (line_.command == Command::Detect) {
        if (!line_.chip.empty() && !chooseChip())
            return Failure;
        return detect();
    }
    if (!(line_.chip.empty() ? detectChip() : chooseChip()))
        return Failure;
    announceChip();
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

void CommandRunner::announceChip()
{
    const ChipCatalogue& catalogue = workbench_.catalogue;
    const ChipRecord& chip = catalogue.currentRecord();
    host_.printLine("Chip: " + ChipTitleText(ChipRowOf(catalogue, catalogue.currentChip)) + " (" +
                    std::to_string(chip.flashSize) + " bytes, page " + std::to_string(chip.flashPage) + ")");
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
    announceChip();
    return Success;
}

int CommandRunner::operate(Operation operation)
{
    return RunOperation(workbench_, host_, operation, autoOptions()) ? Success : Failure;
}

int CommandRunner::readToFile()
{
    if (!RunOperation(workbench_, host_, Operation::Read))
        return Failure;
    const std::string& path = line_.files.front();
    const uint32_t size = workbench_.catalogue.currentRecord().flashSize;
    host_.setQuestionAnswer(true);
    if (!SaveBufferFile(path, workbench_.buffers.flash(), size, host_, English))
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

int CommandRunner::batch()
{
    if (!loadFlashFile(line_.files.front()))
        return Failure;
    const int runsBefore = host_.timedOperations();
    const int errorsBefore = host_.errorCount();
    const auto chipsDone = [&] { return host_.timedOperations() - runsBefore; };
    host_.printLine(line_.batchCount ? "Batch: waiting for " + std::to_string(*line_.batchCount) + " chips"
                                     : "Batch: waiting for chips; Ctrl-C stops");
    interrupted = 0;
    std::signal(SIGINT, stopBatch);
    RunBatch(workbench_, host_, autoOptions(), [&] {
        return interrupted == 0 && (!line_.batchCount || chipsDone() < static_cast<int>(*line_.batchCount));
    });
    std::signal(SIGINT, SIG_DFL);
    const int failed = host_.errorCount() - errorsBefore;
    host_.printLine("Batch: " + std::to_string(chipsDone()) + (chipsDone() == 1 ? " chip" : " chips") + " done, " +
                    std::to_string(failed) + " failed");
    const bool countReached = !line_.batchCount || chipsDone() >= static_cast<int>(*line_.batchCount);
    return failed == 0 && countReached ? Success : Failure;
}

int CommandRunner::convert()
{
    const std::string& input = line_.files[0];
    const std::string& output = line_.files[1];
    const uint32_t capacity = line_.capacity.value_or(BufferSet::FlashCapacity);
    std::vector<uint8_t> block;
    try {
        block.assign(capacity, 0xFF);
    } catch (const std::bad_alloc&) {
        host_.printError("not enough memory for a block of " + std::to_string(capacity) + " bytes");
        return Failure;
    }
    const FileLoad load = LoadBufferFile(input, block.data(), capacity);
    for (const std::string& error : load.errors)
        host_.printError(error);
    if (!load.ok())
        return Failure;
    const auto extent = static_cast<uint32_t>(load.count);
    host_.setQuestionAnswer(true);
    if (!SaveBufferFile(output, block.data(), extent, host_, English))
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
