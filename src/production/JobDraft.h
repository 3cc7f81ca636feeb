#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ops/StreamSpans.h"
#include "production/JobSetup.h"

struct ChipRecord;

// A job made away from the window, as the job editor makes one: the chosen
// chip and image file on buffers of their own, so that the window's chip and
// image stay as they are. The job itself comes from CreateJob, as the command
// line's `job create` makes it.
class JobDraft {
public:
    JobDraft();
    ~JobDraft();
    JobDraft(const JobDraft&) = delete;
    JobDraft& operator=(const JobDraft&) = delete;

    // Loads `imagePath` for `chip` from the range's start. Empty on success,
    // else why not (the draft then holds no image).
    std::string load(const ChipRecord& chip, const std::string& imagePath,
                     const std::optional<ProductionJob::Range>& range, int language);
    bool loaded() const { return !imagePath_.empty(); }
    // An edited job keeps its image's address and its further images: the
    // editor changes only the first image's file, and load and job take the
    // rest along.
    void keepImages(std::optional<uint32_t> firstAddress, std::vector<ImagePlacement> more);

    // Of the loaded image: its bytes, the addresses a job programs (or the
    // reason it cannot) and the checksums of what they hold.
    uint32_t imageBytes() const;
    SpanChoice span() const;
    Checksums checksums() const;

    // The job, validated as `job create` validates it; nothing with `error` set.
    std::optional<ProductionJob> job(const std::string& jobPath, const JobChoices& choices, std::string& error) const;

private:
    std::vector<ImagePlacement> placements(const std::string& imagePath) const;

    struct Parts;
    std::unique_ptr<Parts> parts_;
    std::string imagePath_;
    int language_ = 0;
    std::optional<uint32_t> firstAddress_;
    std::vector<ImagePlacement> moreImages_;
};
