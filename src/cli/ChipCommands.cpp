#include "cli/ChipCommands.h"

#include <algorithm>
#include <array>
#include <vector>

#include <nlohmann/json.hpp>

#include "buffers/BufferFiles.h"
#include "buffers/Checksums.h"
#include "chips/HexDigits.h"
#include "cli/BatchInterrupt.h"
#include "cli/ChipChoice.h"
#include "cli/ExitStatus.h"
#include "core/MessageCatalogue.h"
#include "ops/BlockStream.h"
#include "ops/FlashInstructions.h"
#include "ops/OperationFrame.h"
#include "ops/StatusRegister.h"
#include "ops/UpdateOperations.h"
#include "ops/UpdatePlan.h"

using namespace ExitStatus;
using Command = CommandLine::Command;

namespace {

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

int ChipCommands::run()
{
    if (!context_.loadDatabase())
        return FileError;
    if (line_.command == Command::List)
        return list();
    if (!line_.chip.empty()) {
        if (const int chosen = context_.chooseChip(); chosen != Success)
            return chosen;
    }
    if (line_.command == Command::Detect)
        return detect();
    if (line_.chip.empty() && !context_.detectChip())
        return Failure;
    // Which chip the command works on is context; detect's own result is the chip.
    host_.printNote(context_.chipText());
    if (line_.rangeGiven() && !context_.applyRange())
        return Failure;
    switch (line_.command) {
    case Command::Read:
        return readToFile();
    case Command::Batch:
        return batch();
    case Command::Write:
    case Command::Verify:
    case Command::Auto:
        if (const int loaded = context_.loadFlashFile(line_.files.front()); loaded != Success)
            return loaded;
        return line_.regions.empty() ? operate(operationOf(line_.command)) : runRegions();
    case Command::Update:
        if (const int loaded = context_.loadFlashFile(line_.files.front()); loaded != Success)
            return loaded;
        return line_.regions.empty() ? update() : runRegions();
    case Command::Unprotect:
        return RunRemoveProtection(workbench_, host_) ? Success : Failure;
    case Command::StatusRegister:
        return statusRegister();
    default:
        return operate(operationOf(line_.command));
    }
}

int ChipCommands::detect()
{
    const DetectionOutcome outcome = DetectChip(workbench_, host_);
    if (outcome == DetectionOutcome::NotConnected)
        host_.programmerMissing();
    if (outcome != DetectionOutcome::SerialFlashFound)
        return Failure;
    context_.chipKnown = true;
    // As the production log keeps it: the three bytes in upper-case hex.
    const uint32_t id = workbench_.catalogue.currentRecord().chipId;
    const std::array<uint8_t, 3> idBytes{uint8_t(id >> 16), uint8_t(id >> 8), uint8_t(id)};
    host_.setFigure("jedec_id", HexBytesText(idBytes.data(), idBytes.size()));
    host_.printLine(context_.chipText());
    return Success;
}

int ChipCommands::operate(Operation operation)
{
    // The only question an operation asks: change a chip whose identification differs.
    host_.setQuestionAnswer(line_.force || line_.yes);
    const int declinedBefore = host_.declinedQuestions();
    if (RunOperation(workbench_, host_, operation, context_.autoOptions()))
        return Success;
    if (host_.declinedQuestions() != declinedBefore)
        host_.printError(MessageCatalogue::text(Msg::CliSeatedChipKept, English));
    return Failure;
}

// The counts of sectors (pages) skipped, programmed and erased are the
// command's result, for a script as much as for a person.
int ChipCommands::update()
{
    UpdateOptions options;
    options.verifyWholeSpan = line_.verifyAll;
    return runUpdate(options);
}

int ChipCommands::runUpdate(const UpdateOptions& options)
{
    std::string summary;
    UpdatePlan done;
    if (!RunUpdate(workbench_, host_, options, &summary, &done))
        return Failure;
    host_.printLine(summary);
    if (line_.command == Command::Update) {
        host_.setFigure("unit", workbench_.catalogue.currentRecord().chipClass == SpiFlash25 ? "sector" : "page");
        host_.setFigure("skipped", done.skipped);
        host_.setFigure("programmed", done.programmed);
        host_.setFigure("erased", done.erased);
    }
    return Success;
}

int ChipCommands::regionSpans(std::vector<StreamSpan>& spans)
{
    const std::optional<FlashLayout> layout = context_.readLayout();
    if (!layout)
        return UsageError;
    const uint32_t size = workbench_.catalogue.currentRecord().flashSize;
    for (const std::string& name : line_.regions) {
        const LayoutRegion* region = layout->find(name);
        if (!region) {
            host_.printError("the layout " + line_.layout + " names no region \"" + name + "\"");
            return UsageError;
        }
        if (region->end >= size) {
            host_.printError(MessageCatalogue::format(Msg::RegionPastChipEnd, English,
                                                      {name, AddressText(region->start), AddressText(region->end),
                                                       AddressText(size)}));
            return UsageError;
        }
        // A region named twice is worked once.
        const StreamSpan span{region->start, region->end + 1};
        if (std::none_of(spans.begin(), spans.end(),
                         [&span](const StreamSpan& s) { return s.start == span.start && s.end == span.end; }))
            spans.push_back(span);
    }
    return Success;
}

// The regions are worked as Update works a chip, sector by sector, so that
// the rest of the chip is neither read, erased nor written.
int ChipCommands::runRegions()
{
    UpdateOptions options;
    if (const int found = regionSpans(options.regions); found != Success)
        return found;
    if (line_.command == Command::Verify)
        return RunVerifyRegions(workbench_, host_, options.regions) ? Success : Failure;
    options.verifyWholeSpan = line_.command == Command::Auto || line_.verifyAll;
    options.verify = line_.command != Command::Write;
    return runUpdate(options);
}

// The register, then each bit by name from the highest down; --set writes
// first, and what is shown is what the chip reads back.
int ChipCommands::statusRegister()
{
    uint8_t status = 0;
    const bool done = line_.statusValue ? RunWriteStatusRegister(workbench_, host_, *line_.statusValue, status)
                                        : RunReadStatusRegister(workbench_, host_, status);
    if (!done)
        return Failure;
    const ChipRecord& chip = workbench_.catalogue.currentRecord();
    host_.printLine(MessageCatalogue::format(Msg::StatusRegisterValue, English, {StatusText(status)}));
    const std::span<const StatusBit> bits = StatusBitsOf(chip);
    host_.setFigure("value", status);
    for (auto bit = bits.rbegin(); bit != bits.rend(); ++bit) {
        host_.appendFigure("bits", {{"bit", bit->bit},
                                    {"name", bit->name},
                                    {"set", (status & bit->mask()) != 0},
                                    {"meaning", MessageCatalogue::text(bit->meaning, English)}});
        std::string name = bit->name;
        name.resize(std::max<size_t>(name.size(), 5), ' ');
        host_.printLine("  bit " + std::to_string(bit->bit) + "  " + name + ((status & bit->mask()) ? "1" : "0") + "  " +
                        MessageCatalogue::text(bit->meaning, English));
    }
    return Success;
}

int ChipCommands::readToFile()
{
    const int64_t startMs = host_.nowMs();
    if (!RunOperation(workbench_, host_, Operation::Read))
        return Failure;
    const std::string& path = line_.files.front();
    const uint32_t size = workbench_.catalogue.currentRecord().flashSize;
    if (host_.wantsFigures()) {
        ImageHash hash;
        hash.add(workbench_.buffers.flash(size), size);
        const ImageHashes sums = hash.finish();
        host_.setFigure("file", path);
        host_.setFigure("bytes", size);
        host_.setFigure("crc32", sums.crc32Text());
        host_.setFigure("sha256", sums.sha256Text());
        host_.setFigure("seconds", static_cast<double>(host_.nowMs() - startMs) / 1000.0);
    }
    // Output files are overwritten, as --help says.
    host_.setQuestionAnswer(true);
    if (!SaveBufferFile(path, workbench_.buffers.flash(size), size, host_, English))
        return FileError;
    host_.printLine("Saved " + path + " (" + std::to_string(size) + " bytes)");
    return Success;
}

namespace {

// A chip refused by the question about its ID stays in the socket, and the
// batch loop would wait for it to be taken out for ever: the batch ends there.
class RefusedChipStop : public BatchChipHooks {
public:
    explicit RefusedChipStop(TerminalHost& host) : host_(host) {}
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
        host_.appendFigure("chips", {{"result", passed ? "pass" : refused_ ? "refused" : "fail"}});
        return !refused_;
    }

    TerminalHost& host_;
    int declinedBefore_ = 0;
    bool refused_ = false;
};

}  // namespace

int ChipCommands::batch()
{
    if (const int loaded = context_.loadFlashFile(line_.files.front()); loaded != Success)
        return loaded;
    // A range past the chip refuses every chip alike: refused before the first.
    if (const std::string refusal = RefusalOf(workbench_, workbench_.catalogue.currentRecord(), Operation::Auto,
                                              context_.autoOptions());
        !refusal.empty()) {
        host_.printError(refusal);
        return Failure;
    }
    const int64_t runsBefore = host_.timedOperations();
    const int errorsBefore = host_.errorCount();
    const auto chipsDone = [&] { return int64_t{host_.timedOperations()} - runsBefore; };
    context_.printBatchStart();
    host_.setQuestionAnswer(line_.force || line_.yes);
    RefusedChipStop refusals(host_);
    {
        const BatchInterrupt interrupt;
        RunBatch(workbench_, host_, context_.autoOptions(), [&] {
            return !BatchInterrupt::requested() && (!line_.batchCount || chipsDone() < *line_.batchCount);
        }, &refusals);
    }
    if (refusals.refused())
        host_.printError(MessageCatalogue::text(Msg::CliSeatedChipStopsBatch, English));
    const int failed = host_.errorCount() - errorsBefore;
    host_.setFigure("good", std::max<int64_t>(chipsDone() - failed, 0));
    host_.setFigure("failed", failed);
    host_.setFigure("interrupted", BatchInterrupt::requested());
    context_.printBatchEnd(chipsDone(), failed);
    const bool countReached = !line_.batchCount || chipsDone() >= *line_.batchCount;
    return failed == 0 && countReached && !refusals.refused() ? Success : Failure;
}

int ChipCommands::list()
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
    host_.setFigure("chips", nlohmann::json::array());
    for (const int32_t slot : slots) {
        const ChipRecord& chip = catalogue.ChipDatabase[static_cast<size_t>(slot)];
        const ChipSearchRow row = ChipRowOf(catalogue, slot);
        host_.appendFigure("chips", {{"type", row.type},
                                     {"manufacturer", row.manufacturer},
                                     {"name", row.name},
                                     {"size", chip.flashSize},
                                     {"page", chip.flashPage}});
        host_.printLine(ChipTitleText(row) + "," + std::to_string(chip.flashSize) + "," +
                        std::to_string(chip.flashPage));
    }
    // Nothing found is an answer, not a failure; stdout stays empty for scripts.
    if (slots.empty() && !line_.files.empty())
        host_.printNote(MessageCatalogue::format(Msg::CliNoChipMatches, English, {line_.files.front()}));
    return Success;
}
