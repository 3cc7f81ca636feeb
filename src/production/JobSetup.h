#pragma once

#include <optional>
#include <string>
#include <vector>

#include "production/Checksums.h"
#include "production/ProductionJob.h"

class BufferSet;
class ChipCatalogue;
class OperationHost;
struct ChipRecord;
struct Workbench;

// What the operator chooses when a job is made from the current state.
struct JobChoices {
    AutoOptions options;
    std::optional<SerialRule> serial;
    // The job's serial-number sequence (SerialSequenceOf) when an existing
    // job is written again; empty: a new one.
    std::string serialSequence;
    std::string note;
    bool locked = false;
    std::optional<int64_t> target;
    std::optional<EngineerPin> pin;
    bool operatorRequired = false;
    // Paths as the operator gave them: relative to the working folder, or absolute.
    std::vector<ValueField> values;
    bool reuseFailedValues = false;
};

// The checksums of the span a job programs, from the buffer as it stands;
// after verify, of the span that was compared.
Checksums ProgrammedChecksums(const BufferSet& buffers, const ChipRecord& chip, bool verified);

// One image of a job as it is loaded: its file and, when given, its chip
// address (without one, the range's start or 0, as a job of one image).
struct ImagePlacement {
    std::string path;
    std::optional<uint32_t> address;
};

// What loading a job's images gives: empty `error` on success; `misplaced`
// when the images overlap or pass the chip's end (a wrong job, not a bad file).
struct ImagesLoad {
    std::string error;
    bool misplaced = false;
};

// A job from the workbench: its selected chip, the image file at `imagePath`
// (already loaded into the FLASH buffer, range applied), the checksums of the
// span it programs. Refused (nothing, `error` set) when the image cannot be
// read, the serial number lies outside the programmed span or the job would
// protect a chip that has no protection bits.
std::optional<ProductionJob> CreateJob(const Workbench& workbench, const std::string& jobPath,
                                       const std::string& imagePath, const JobChoices& choices, std::string& error);
// The same for several images, already loaded by LoadJobImages; the first is the job's first image.
std::optional<ProductionJob> CreateJob(const Workbench& workbench, const std::string& jobPath,
                                       const std::vector<ImagePlacement>& images, const JobChoices& choices,
                                       std::string& error);

// The window's Save job: the job for the FLASH buffer as it stands (from the
// range start to the data length, edits included), with that image written
// beside the job file as JOB.bin. Validated before anything is written; the
// image and the job file then each replace their old copies whole, so a
// refusal or a failed write leaves both as they were. Saved over a job file,
// the job keeps that job's serial sequence.
std::optional<ProductionJob> SaveJob(const Workbench& workbench, const std::string& jobPath, const JobChoices& choices,
                                     std::string& error);

// Why a job cannot use `path` as its image (it exists but is no regular file:
// a device, a FIFO, a link to one); empty when it can.
std::string ImageProblem(const std::string& path, int language);

// The slot of the job's chip in `catalogue`, or -1 with `error` saying why
// it cannot be used (missing, or its record changed since).
int32_t FindJobChip(const ChipCatalogue& catalogue, const ChipRow& wanted, int language, std::string& error);

// Loads every image into the FLASH buffer at its address (the first, without
// one, from the range's start or 0), blank (0xFF) between them, and sets the
// data length to the end of the highest, as a job programs them. Images that
// overlap or pass the chip's end are refused, naming both images or the
// chip's end; the buffer then holds no usable image. A job of one image
// longer than the chip keeps its old refusal.
ImagesLoad LoadJobImages(Workbench& workbench, const std::vector<ImagePlacement>& images);

// The job's images with their paths beside the job file, the first first.
std::vector<ImagePlacement> JobImagePlacements(const ProductionJob& job, const std::string& jobPath);

// Opens a job on the workbench: finds its chip and refuses a record that
// changed since, checks the image's SHA-256 (naming both hashes when they
// differ), selects the chip, sets the range and loads the image. Empty on
// success, else the one message that says why not; the workbench may then
// hold the chip but no image. A job that protects its chips is refused for a
// chip without protection bits.
std::string ApplyJob(Workbench& workbench, OperationHost& host, const ProductionJob& job, const std::string& jobPath);

// The Auto steps as a record names them: "erase,program,verify" (",protect" when the job protects).
std::string AutoStepsText(const AutoOptions& options);

// Why a job with `options` is no job: one that does not program would log
// every chip as passed with nothing on it. Empty when it programs.
std::string StepsProblem(const std::string& jobName, const AutoOptions& options, int language);

// The image's path as the job names it, relative to the job file's folder.
std::string JobImagePath(const ProductionJob& job, const std::string& jobPath);
