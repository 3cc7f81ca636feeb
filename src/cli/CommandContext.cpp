#include "cli/CommandContext.h"

#include "buffers/BufferCommands.h"
#include "buffers/HexText.h"
#include "chips/ChipDatabaseFile.h"
#include "cli/ChipChoice.h"
#include "cli/ExitStatus.h"
#include "core/MessageCatalogue.h"
#include "ops/SelectChip.h"

CommandContext::CommandContext(const CommandLine& line, TerminalHost& host, std::string executablePath)
    : line(line), host(host), executablePath(std::move(executablePath))
{
    workbench.languageIndex = English;
    workbench.commandLineRemedies = true;
    workbench.link.setSleep([this](uint32_t milliseconds) { this->host.sleepMs(milliseconds); });
    workbench.link.setTarget(line.programmer);
}

std::string HexNumberText(uint32_t value)
{
    return "0x" + HexFieldText(value);
}

bool CommandContext::loadDatabase()
{
    const std::string path = ChipDatabaseFile::pathFor(executablePath);
    if (LoadChipDatabase(workbench, host, path) == 1)
        return true;
    host.printError("cannot load the chip database " + path);
    return false;
}

int CommandContext::chooseChip()
{
    const ChipChoice choice = ChooseChip(workbench.catalogue, line.chip);
    if (!choice.unique()) {
        host.printError(choice.refusal(line.chip));
        return ExitStatus::UsageError;
    }
    if (SelectSearchResult(workbench, host, choice.candidates.front()) < 0) {
        host.printError("the chip " + ChipTitleText(choice.candidates.front()) + " cannot be selected");
        return ExitStatus::Failure;
    }
    chipKnown = true;
    return ExitStatus::Success;
}

// Detection settles the chip only for a serial flash the database knows. An
// EEPROM family tells just its type and an unknown id nothing; guessing the
// chip from that could program with the wrong size or page.
bool CommandContext::detectChip()
{
    const DetectionOutcome outcome = DetectChip(workbench, host);
    if (outcome == DetectionOutcome::NotConnected)
        host.programmerMissing();
    if (outcome == DetectionOutcome::FamilyDetected || outcome == DetectionOutcome::SerialFlashUnknown)
        host.printError("the seated chip cannot be told exactly; name it with --chip (see 'belcor-cli list')");
    chipKnown = outcome == DetectionOutcome::SerialFlashFound;
    return chipKnown;
}

std::string CommandContext::chipText() const
{
    const ChipCatalogue& catalogue = workbench.catalogue;
    const ChipRecord& chip = catalogue.currentRecord();
    return "Chip: " + ChipTitleText(ChipRowOf(catalogue, catalogue.currentChip)) + " (" +
           std::to_string(chip.flashSize) + " bytes, page " + std::to_string(chip.flashPage) + ")";
}

// The window takes a backwards range as an empty one and still reports its
// Write as complete; from a script that would pass for a success.
bool CommandContext::applyRange()
{
    AddressRange& range = workbench.buffers.range;
    const uint32_t start = line.rangeStart.value_or(0);
    // The chip selection has set the end to the chip's last byte.
    const uint32_t end = line.rangeEnd.value_or(static_cast<uint32_t>(range.end));
    if (start > end) {
        host.printError("the range start " + HexNumberText(start) + " lies after its end " + HexNumberText(end));
        return false;
    }
    range.enabled = true;
    range.start = static_cast<int32_t>(start);
    range.end = static_cast<int32_t>(end);
    return true;
}

// The file goes where the window's Open puts it: at the range start when a
// range is given. A file longer than the chip is refused rather than cut,
// unless --yes asks for what fits.
int CommandContext::loadFlashFile(const std::string& path)
{
    const int errorsBefore = host.errorCount();
    const int declinedBefore = host.declinedQuestions();
    host.setQuestionAnswer(line.yes);
    OpenBufferFile(workbench, host, BufferTab::Flash, path);
    if (host.declinedQuestions() != declinedBefore) {
        host.printError(MessageCatalogue::format(Msg::CliFileLongerThanChip, English, {path}));
        return ExitStatus::Failure;
    }
    if (host.errorCount() != errorsBefore)
        return ExitStatus::FileError;
    const BufferSet& buffers = workbench.buffers;
    // Write and Verify would end silently with no data: that is no success.
    if (buffers.dataLength == (buffers.range.enabled ? buffers.range.start : 0)) {
        host.printError(path + " holds no data");
        return ExitStatus::FileError;
    }
    return ExitStatus::Success;
}

AutoOptions CommandContext::autoOptions() const
{
    AutoOptions options;
    options.erase = !line.noErase;
    options.verify = !line.noVerify;
    return options;
}

std::optional<FlashLayout> CommandContext::readLayout()
{
    FlashLayoutRead read = ReadFlashLayout(line.layout);
    if (!read.layout)
        host.printError(read.error);
    return std::move(read.layout);
}

void CommandContext::printBatchStart()
{
    host.printLine(line.batchCount ? "Batch: waiting for " + std::to_string(*line.batchCount) + " chips"
                                   : "Batch: waiting for chips; Ctrl-C stops");
}

void CommandContext::printBatchEnd(int64_t done, int64_t failed)
{
    host.printLine("Batch: " + std::to_string(done) + (done == 1 ? " chip" : " chips") + " done, " +
                   std::to_string(failed) + " failed");
}
