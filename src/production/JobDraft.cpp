#include "production/JobDraft.h"

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "core/Workbench.h"
#include "link/TUsbBulk.h"
#include "maint/HidDevice.h"

// A catalogue of the one chosen record: the draft's workbench selects it
// without touching the window's selection.
struct JobDraft::Parts {
    ChipCatalogue catalogue;
    BufferSet buffers;
    TUsbBulk link;
    HidDevice hid;
    Workbench bench{catalogue, buffers, link, hid};
};

JobDraft::JobDraft() : parts_(std::make_unique<Parts>()) {}

JobDraft::~JobDraft() = default;

std::string JobDraft::load(const ChipRecord& chip, const std::string& imagePath,
                           const std::optional<ProductionJob::Range>& range, int language)
{
    imagePath_.clear();
    language_ = language;
    Workbench& bench = parts_->bench;
    bench.languageIndex = language;
    parts_->catalogue.ChipDatabase[0] = chip;
    parts_->catalogue.currentChip = 0;
    AddressRange& kept = parts_->buffers.range;
    kept.enabled = range.has_value();
    if (range) {
        kept.start = static_cast<int32_t>(range->start);
        kept.end = static_cast<int32_t>(range->end);
    }
    parts_->buffers.dataLength = 0;
    const std::vector<ImagePlacement> images = placements(imagePath);
    for (const ImagePlacement& image : images) {
        if (std::string problem = ImageProblem(image.path, language); !problem.empty())
            return problem;
    }
    if (std::string problem = LoadJobImages(bench, images).error; !problem.empty())
        return problem;
    imagePath_ = imagePath;
    return {};
}

void JobDraft::keepImages(std::optional<uint32_t> firstAddress, std::vector<ImagePlacement> more)
{
    firstAddress_ = firstAddress;
    moreImages_ = std::move(more);
}

std::vector<ImagePlacement> JobDraft::placements(const std::string& imagePath) const
{
    std::vector<ImagePlacement> images{{imagePath, firstAddress_}};
    images.insert(images.end(), moreImages_.begin(), moreImages_.end());
    return images;
}

uint32_t JobDraft::imageBytes() const
{
    const BufferSet& buffers = parts_->buffers;
    const int32_t offset = buffers.range.enabled ? buffers.range.start : 0;
    return buffers.dataLength > offset ? static_cast<uint32_t>(buffers.dataLength - offset) : 0;
}

SpanChoice JobDraft::span() const
{
    return WriteSpan(parts_->buffers, parts_->catalogue.currentRecord());
}

Checksums JobDraft::checksums() const
{
    return ProgrammedChecksums(parts_->buffers, parts_->catalogue.currentRecord(), false);
}

std::optional<ProductionJob> JobDraft::job(const std::string& jobPath, const JobChoices& choices,
                                           std::string& error) const
{
    if (!loaded()) {
        error = MessageCatalogue::text(Msg::JobEditorNoImage, language_);
        return std::nullopt;
    }
    return CreateJob(parts_->bench, jobPath, placements(imagePath_), choices, error);
}
