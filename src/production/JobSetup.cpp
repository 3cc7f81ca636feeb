#include "production/JobSetup.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "buffers/BufferFiles.h"
#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "chips/ChipSearch.h"
#include "core/AtomicFile.h"
#include "core/OperationHost.h"
#include "core/SmallFile.h"
#include "core/Workbench.h"
#include "ops/BlockStream.h"
#include "ops/ProtectChip.h"
#include "ops/SelectChip.h"
#include "ops/StreamSpans.h"
#include "production/JobFile.h"
#include "production/ProductionText.h"
#include "production/JobValueSetup.h"
#include "production/SerialSequence.h"

namespace fs = std::filesystem;

namespace {

std::string chipTitle(const ChipRow& row)
{
    return row.cells[ChipRow::Type] + "," + row.cells[ChipRow::Manufacturer] + "," + row.cells[ChipRow::Name];
}

bool sameTitle(const ChipRow& a, const ChipRow& b)
{
    return a.cells[ChipRow::Type] == b.cells[ChipRow::Type] &&
           a.cells[ChipRow::Manufacturer] == b.cells[ChipRow::Manufacturer] &&
           a.cells[ChipRow::Name] == b.cells[ChipRow::Name];
}

}  // namespace

int32_t FindJobChip(const ChipCatalogue& catalogue, const ChipRow& wanted, int language, std::string& error)
{
    for (int32_t slot = 0; slot < catalogue.recordCount(); ++slot) {
        const ChipRow row = ChipRow::fromRecord(catalogue.ChipDatabase[static_cast<size_t>(slot)]);
        if (!sameTitle(row, wanted))
            continue;
        for (size_t column = 0; column < row.cells.size(); ++column) {
            if (row.cells[column] != wanted.cells[column]) {
                error = ProductionText(Msg::JobChipChanged, language,
                                       {chipTitle(wanted), JobChipKeys[column], row.cells[column], wanted.cells[column]});
                return -1;
            }
        }
        return slot;
    }
    error = ProductionText(Msg::JobChipMissing, language, {chipTitle(wanted)});
    return -1;
}

namespace {

std::string serialOutsideSpan(const SerialRule& rule, const StreamSpan& span, int language)
{
    if (rule.address >= span.start && uint64_t{rule.address} + rule.width <= span.end)
        return {};
    return ProductionText(Msg::JobSerialOutsideSpan, language, {rule.describe()});
}

}  // namespace

// Loaded as the window's Open does, but a file longer than the chip is
// refused: a production run never asks.
ImagesLoad LoadJobImages(Workbench& workbench, const std::vector<ImagePlacement>& images)
{
    BufferSet& buffers = workbench.buffers;
    const int language = workbench.languageIndex;
    const uint32_t flashSize = std::min(workbench.catalogue.currentRecord().flashSize, BufferSet::FlashCapacity);
    const uint32_t offset = buffers.range.enabled ? static_cast<uint32_t>(buffers.range.start) : 0;
    struct Extent {
        uint32_t start;
        uint32_t end;
        const std::string* path;
    };
    std::vector<Extent> extents;
    for (const ImagePlacement& image : images) {
        const uint32_t address = image.address.value_or(offset);
        if (address >= flashSize) {
            if (!image.address)
                return {ProductionText(Msg::JobRangeOutsideChip, language), false};
            return {ProductionText(Msg::JobImagePastChipEnd, language,
                                   {image.path, AddressText(address), AddressText(flashSize)}),
                    true};
        }
        const FileLoad load =
            LoadBufferFile(image.path, {buffers.flash() + address, BufferSet::FlashCapacity - address}, language);
        if (!load.ok())
            return {LoadMessages(load, image.path, language).front(), false};
        const uint32_t count = static_cast<uint32_t>(load.count);
        if (count > flashSize - address) {
            // A job of one image at its usual place keeps its old words.
            if (images.size() == 1 && !image.address)
                return {ProductionText(Msg::JobImageTooLong, language, {image.path}), false};
            return {ProductionText(Msg::JobImagePastChipEnd, language,
                                   {image.path, AddressText(address), AddressText(flashSize)}),
                    true};
        }
        const Extent added{address, address + count, &image.path};
        for (const Extent& earlier : extents) {
            if (added.start < earlier.end && earlier.start < added.end)
                return {ProductionText(Msg::JobImagesOverlap, language,
                                       {*earlier.path, image.path, AddressText(std::max(added.start, earlier.start))}),
                        true};
        }
        extents.push_back(added);
    }
    // What lies between the images is programmed blank, as a gap in one image is.
    std::sort(extents.begin(), extents.end(), [](const Extent& a, const Extent& b) { return a.start < b.start; });
    uint32_t filled = std::min(offset, extents.empty() ? offset : extents.front().start);
    for (const Extent& extent : extents) {
        if (extent.start > filled)
            std::memset(buffers.flash() + filled, 0xFF, extent.start - filled);
        filled = std::max(filled, extent.end);
    }
    buffers.dataLength = static_cast<int32_t>(extents.empty() ? offset : filled);
    return {};
}

std::vector<ImagePlacement> JobImagePlacements(const ProductionJob& job, const std::string& jobPath)
{
    const fs::path folder = fs::path(jobPath).parent_path();
    std::vector<ImagePlacement> images{{JobImagePath(job, jobPath), job.imageAddress}};
    for (const ProductionJob::Image& image : job.moreImages)
        images.push_back({(folder / image.file).string(), image.address});
    return images;
}

Checksums ProgrammedChecksums(const BufferSet& buffers, const ChipRecord& chip, bool verified)
{
    const StreamSpan span = (verified ? VerifySpan(buffers, chip) : WriteSpan(buffers, chip)).span;
    return Checksums::of(buffers.flash() + span.start, span.end - span.start);
}

std::string AutoStepsText(const AutoOptions& options)
{
    std::string text;
    const auto add = [&text](bool on, const char* name) {
        if (!on)
            return;
        if (!text.empty())
            text += ',';
        text += name;
    };
    add(options.erase, "erase");
    add(options.program, "program");
    add(options.verify, "verify");
    add(options.protect, "protect");
    return text;
}

std::string StepsProblem(const std::string& jobName, const AutoOptions& options, int language)
{
    if (options.program)
        return {};
    const std::string steps = AutoStepsText(options);
    return ProductionText(Msg::JobProgramsNothing, language, {jobName, steps.empty() ? "-" : steps});
}

std::string JobImagePath(const ProductionJob& job, const std::string& jobPath)
{
    return (fs::path(jobPath).parent_path() / job.image).string();
}

// Why a job cannot use `path` as its image; empty when it can.
std::string ImageProblem(const std::string& path, int language)
{
    std::error_code ignored;
    if (fs::exists(path, ignored) && !SmallFile::isRegular(path))
        return ProductionText(Msg::JobImageNotRegular, language, {path});
    return {};
}

namespace {

// The job for an image whose hash is known, validated against the workbench.
std::optional<ProductionJob> makeJob(const Workbench& workbench, const std::string& jobPath,
                                     const std::string& imagePath, const std::string& imageHash,
                                     const JobChoices& choices, std::string& error,
                                     std::optional<uint32_t> imageAddress = std::nullopt,
                                     std::vector<ProductionJob::Image> moreImages = {})
{
    const ChipRecord& chip = workbench.catalogue.currentRecord();
    if (choices.note.size() > ProductionJob::LongestNote || choices.note.find('\0') != std::string::npos) {
        error = "the job's note must be at most " + std::to_string(ProductionJob::LongestNote) +
                " bytes without NUL characters";
        return std::nullopt;
    }
    if (error = StepsProblem(fs::path(jobPath).stem().string(), choices.options, workbench.languageIndex);
        !error.empty())
        return std::nullopt;
    if (choices.options.protect && !(error = ProtectionRefusal(chip, workbench.languageIndex)).empty())
        return std::nullopt;
    const SpanChoice span = WriteSpan(workbench.buffers, chip);
    if (span.refusal) {
        error = MessageCatalogue::text(*span.refusal, workbench.languageIndex);
        return std::nullopt;
    }
    if (choices.serial) {
        error = serialOutsideSpan(*choices.serial, span.span, workbench.languageIndex);
        if (!error.empty())
            return std::nullopt;
    }
    std::vector<ValueField> values = choices.values;
    if (error = PrepareValueFields(values, jobPath, choices.serial, span.span.start, span.span.end,
                                   workbench.languageIndex);
        !error.empty())
        return std::nullopt;
    ProductionJob job;
    job.name = fs::path(jobPath).stem().string();
    job.path = jobPath;
    job.chip = ChipRow::fromRecord(chip);
    const fs::path jobFolder = fs::absolute(jobPath).parent_path();
    job.image = fs::absolute(imagePath).lexically_relative(jobFolder).generic_string();
    job.imageSha256 = imageHash;
    job.imageAddress = imageAddress;
    for (ProductionJob::Image& image : moreImages)
        image.file = fs::absolute(image.file).lexically_relative(jobFolder).generic_string();
    job.moreImages = std::move(moreImages);
    const AddressRange& range = workbench.buffers.range;
    if (range.enabled)
        job.range = ProductionJob::Range{static_cast<uint32_t>(range.start), static_cast<uint32_t>(range.end)};
    job.options = choices.options;
    job.serial = choices.serial;
    if (job.serial)
        job.serialSequence = choices.serialSequence.empty() ? NewSerialSequence() : choices.serialSequence;
    job.expected = ProgrammedChecksums(workbench.buffers, chip, false);
    job.note = choices.note;
    job.locked = choices.locked;
    job.target = choices.target;
    job.pin = choices.pin;
    job.operatorRequired = choices.operatorRequired;
    job.values = std::move(values);
    job.reuseFailedValues = choices.reuseFailedValues;
    return job;
}

}  // namespace

std::optional<ProductionJob> CreateJob(const Workbench& workbench, const std::string& jobPath,
                                       const std::string& imagePath, const JobChoices& choices, std::string& error)
{
    if (error = ImageProblem(imagePath, workbench.languageIndex); !error.empty())
        return std::nullopt;
    const std::optional<std::string> imageHash = Sha256OfFile(imagePath);
    if (!imageHash) {
        error = ProductionText(Msg::JobImageMissing, workbench.languageIndex, {imagePath});
        return std::nullopt;
    }
    return makeJob(workbench, jobPath, imagePath, *imageHash, choices, error);
}

std::optional<ProductionJob> CreateJob(const Workbench& workbench, const std::string& jobPath,
                                       const std::vector<ImagePlacement>& images, const JobChoices& choices,
                                       std::string& error)
{
    std::vector<ProductionJob::Image> hashed;
    for (const ImagePlacement& image : images) {
        if (error = ImageProblem(image.path, workbench.languageIndex); !error.empty())
            return std::nullopt;
        const std::optional<std::string> hash = Sha256OfFile(image.path);
        if (!hash) {
            error = ProductionText(Msg::JobImageMissing, workbench.languageIndex, {image.path});
            return std::nullopt;
        }
        hashed.push_back({image.path, *hash, image.address.value_or(0)});
    }
    if (hashed.empty())
        return std::nullopt;
    const ProductionJob::Image first = hashed.front();
    hashed.erase(hashed.begin());
    return makeJob(workbench, jobPath, first.file, first.sha256, choices, error, images.front().address,
                   std::move(hashed));
}

std::optional<ProductionJob> SaveJob(const Workbench& workbench, const std::string& jobPath, const JobChoices& choices,
                                     std::string& error)
{
    const BufferSet& buffers = workbench.buffers;
    const int32_t offset = buffers.range.enabled ? buffers.range.start : 0;
    const uint8_t* image = buffers.flash() + offset;
    const size_t size = buffers.dataLength > offset ? static_cast<size_t>(buffers.dataLength - offset) : 0;
    const std::string imagePath = fs::path(jobPath).replace_extension(".bin").string();
    // Saved over a job, it goes on with the serial numbers that job issued.
    JobChoices kept = choices;
    if (const JobFileRead before = JobFile::read(jobPath); before.job && kept.serialSequence.empty())
        kept.serialSequence = SerialSequenceOf(*before.job);
    const std::optional<ProductionJob> job =
        makeJob(workbench, jobPath, imagePath, Sha256Hex(image, size), kept, error);
    if (!job)
        return std::nullopt;
    // Both files are complete on disk before either replaces its old copy.
    const std::string text = JobFile::text(*job);
    AtomicFile imageFile(imagePath);
    AtomicFile jobFile(jobPath);
    if (!imageFile.open() || !imageFile.write(image, size) || !jobFile.open() ||
        !jobFile.write(text.data(), text.size()) || !imageFile.commit() || !jobFile.commit()) {
        error = MessageCatalogue::text(Msg::FileWriteError, workbench.languageIndex);
        return std::nullopt;
    }
    return job;
}

std::string ApplyJob(Workbench& workbench, OperationHost& host, const ProductionJob& job, const std::string& jobPath)
{
    const int language = workbench.languageIndex;
    if (std::string problem = StepsProblem(job.name, job.options, language); !problem.empty())
        return problem;
    std::string error;
    const int32_t slot = FindJobChip(workbench.catalogue, job.chip, language, error);
    if (slot < 0)
        return error;
    // Only a hand-edited job file gets here with such a chip: job create refuses it.
    if (job.options.protect) {
        if (std::string refusal = ProtectionRefusal(workbench.catalogue.ChipDatabase[static_cast<size_t>(slot)], language);
            !refusal.empty())
            return refusal;
    }
    const std::vector<ImagePlacement> images = JobImagePlacements(job, jobPath);
    for (size_t i = 0; i < images.size(); ++i) {
        const std::string& image = images[i].path;
        const std::string& expected = i == 0 ? job.imageSha256 : job.moreImages[i - 1].sha256;
        if (std::string problem = ImageProblem(image, language); !problem.empty())
            return problem;
        const std::optional<std::string> imageHash = Sha256OfFile(image);
        if (!imageHash)
            return ProductionText(Msg::JobImageMissing, language, {image});
        if (*imageHash != expected)
            return ProductionText(Msg::JobImageChanged, language, {image, *imageHash, expected});
    }

    const ChipSearchRow row{job.chip.cells[ChipRow::Type], job.chip.cells[ChipRow::Manufacturer],
                            job.chip.cells[ChipRow::Name], slot};
    if (SelectSearchResult(workbench, host, row) != slot)
        return ProductionText(Msg::JobChipNotSelectable, language, {chipTitle(job.chip)});
    AddressRange& range = workbench.buffers.range;
    range.enabled = job.range.has_value();
    if (job.range) {
        range.start = static_cast<int32_t>(job.range->start);
        range.end = static_cast<int32_t>(job.range->end);
    }
    if (ImagesLoad load = LoadJobImages(workbench, images); !load.error.empty())
        return load.error;
    host.flashBufferChanged(std::min(workbench.catalogue.currentRecord().flashSize, BufferSet::FlashCapacity));

    const ChipRecord& chip = workbench.catalogue.currentRecord();
    const SpanChoice span = WriteSpan(workbench.buffers, chip);
    if (span.refusal)
        return MessageCatalogue::text(*span.refusal, language);
    if (job.serial) {
        if (std::string outside = serialOutsideSpan(*job.serial, span.span, language); !outside.empty())
            return outside;
    }
    const Checksums programmed = ProgrammedChecksums(workbench.buffers, chip, false);
    if (programmed.crc32 != job.expected.crc32 || programmed.sha256 != job.expected.sha256)
        return ProductionText(Msg::JobChecksumMismatch, language,
                              {programmed.crc32Text(), programmed.sha256, Checksums{job.expected.crc32, {}}.crc32Text(),
                               job.expected.sha256});
    return {};
}
