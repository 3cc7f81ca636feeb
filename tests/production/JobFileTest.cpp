#include <fstream>
#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "chips/ChipSearch.h"
#include "ops/SelectChip.h"
#include "production/JobFile.h"
#include "production/JobSetup.h"
#include "production/ProductionText.h"
#include "production/SerialSequence.h"
#include "production/ProductionFixture.h"

namespace {

class JobFileTest : public ProductionFixture {
protected:
    // A job for image.bin (4 KiB of 0x5A) with a serial-number rule, written to
    // job.belcorjob, and the workbench reset to another chip.
    ProductionJob makeJob()
    {
        writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
        selectChipAndLoad("image.bin");
        JobChoices choices;
        choices.options.erase = false;
        std::string error;
        choices.serial = ParseSerialRule("10:4:dec:1", error);
        choices.note = "Line 2, \"rev B\"";
        choices.locked = true;
        const std::optional<ProductionJob> job = CreateJob(workbench, path("job.belcorjob"), path("image.bin"),
                                                           choices, error);
        EXPECT_TRUE(job) << error;
        EXPECT_EQ(JobFile::write(path("job.belcorjob"), *job), "");
        workbench.buffers.ResetBuffers(65536);
        workbench.buffers.dataLength = 0;
        return *job;
    }
};

TEST_F(JobFileTest, RoundTripRestoresChipImageAndRule)
{
    const ProductionJob made = makeJob();
    const JobFileRead read = JobFile::read(path("job.belcorjob"));
    ASSERT_TRUE(read.job) << read.error;
    EXPECT_EQ(JobFile::text(*read.job), JobFile::text(made));
    EXPECT_EQ(read.job->name, "job");
    EXPECT_EQ(read.job->image, "image.bin");
    EXPECT_EQ(read.sha256.size(), 64u);

    EXPECT_EQ(ApplyJob(workbench, host, *read.job, path("job.belcorjob")), "");
    EXPECT_EQ(workbench.buffers.dataLength, 4096);
    EXPECT_EQ(workbench.buffers.flash()[4095], 0x5A);
    EXPECT_EQ(ChipRow::fromRecord(workbench.catalogue.currentRecord()).cells[ChipRow::Name], "A25L512");
}

TEST_F(JobFileTest, KeepsATargetAboveZeroOnly)
{
    ProductionJob job = makeJob();
    job.target = 500;
    const JobFileRead read = JobFile::parse(JobFile::text(job), "job");
    ASSERT_TRUE(read.job) << read.error;
    EXPECT_EQ(read.job->target, 500);
    std::string text = JobFile::text(job);
    text.replace(text.find("\"target\": 500"), 13, "\"target\": 0");
    EXPECT_NE(JobFile::parse(text, "job").error, "");
}

void writeBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes)
{
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
}

struct Refusal {
    const char* name;
    std::function<void(ChipCatalogue&, const std::filesystem::path& folder)> change;
    std::vector<std::string> fragments;  // all in the message; "<image hash>" stands for the job's
};

class JobRefusal : public JobFileTest, public testing::WithParamInterface<Refusal> {};

TEST_P(JobRefusal, NamesWhatChanged)
{
    const ProductionJob job = makeJob();
    GetParam().change(workbench.catalogue, folder);
    const std::string refusal = ApplyJob(workbench, host, job, path("job.belcorjob"));
    for (std::string fragment : GetParam().fragments) {
        if (fragment == "<image hash>")
            fragment = job.imageSha256;
        EXPECT_NE(refusal.find(fragment), std::string::npos) << refusal << "\nlacks " << fragment;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, JobRefusal,
    testing::Values(
        Refusal{"ChangedImage",
                [](ChipCatalogue&, const std::filesystem::path& folder) {
                    writeBytes(folder / "image.bin", std::vector<uint8_t>(4096, 0x5B));
                },
                {"has changed", "SHA-256 is ", "<image hash>"}},
        Refusal{"ChangedChipRecord",
                [](ChipCatalogue& catalogue, const std::filesystem::path&) {
                    for (int32_t slot = 0; slot < catalogue.recordCount(); ++slot) {
                        if (ChipRow::fromRecord(catalogue.ChipDatabase[slot]).cells[ChipRow::Name] == "A25L512")
                            catalogue.ChipDatabase[slot].flashPage = 128;
                    }
                },
                {"A25L512", "flash_page is 128, the job has 256"}},
        Refusal{"MissingImage",
                [](ChipCatalogue&, const std::filesystem::path& folder) {
                    std::filesystem::remove(folder / "image.bin");
                },
                {"image.bin", "missing"}},
        // Both would be read for ever (a FIFO without a writer blocks at once).
        Refusal{"ImageLinkedToADevice",
                [](ChipCatalogue&, const std::filesystem::path& folder) {
                    std::filesystem::remove(folder / "image.bin");
                    std::filesystem::create_symlink("/dev/zero", folder / "image.bin");
                },
                {"image.bin", "is not a regular file"}},
        Refusal{"ImageIsAFifo",
                [](ChipCatalogue&, const std::filesystem::path& folder) {
                    std::filesystem::remove(folder / "image.bin");
                    mkfifo((folder / "image.bin").c_str(), 0600);
                },
                {"image.bin", "is not a regular file"}}),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST(JobFileText, RefusesWhatIsNoJob)
{
    EXPECT_NE(JobFile::parse("{\"format\": \"other\"}", "x").error, "");
    EXPECT_NE(JobFile::parse("{ not json", "x").error, "");
    EXPECT_NE(JobFile::read("/nonexistent/job.belcorjob").error, "");
    EXPECT_NE(JobFile::read("/dev/zero").error.find("is not a regular file"), std::string::npos);
}

struct TwoReadings {
    const char* name;
    std::string text;
    const char* problem;
};

class JobFileTwoReadings : public testing::TestWithParam<TwoReadings> {};

// These were read as the last of the two keys, or as the text before the NULs.
TEST_P(JobFileTwoReadings, AreRefused)
{
    const JobFileRead read = JobFile::parse(GetParam().text, "x");
    EXPECT_FALSE(read.job);
    EXPECT_NE(read.error.find(GetParam().problem), std::string::npos) << read.error;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JobFileTwoReadings,
    testing::Values(TwoReadings{"TrailingNuls", R"({"format": "belcor-job"})" + std::string(3, '\0'), "NUL byte"},
                    TwoReadings{"DuplicateTopKey", R"({"format": "belcor-job", "note": "a", "note": "b"})",
                                "\"note\" twice"},
                    TwoReadings{"DuplicateNestedKey",
                                R"({"format": "belcor-job", "auto": {"program": true, "program": false}})",
                                "\"program\" twice"}),
    [](const testing::TestParamInfo<TwoReadings>& info) { return std::string(info.param.name); });

// A CRLF copy of the job and an edit of its note or target gave the line
// server another sequence (it went by the file's hash), which issued the
// same serials again.
TEST_F(JobFileTest, EditsAndLineEndsKeepTheSerialSequence)
{
    const ProductionJob job = makeJob();
    const std::string sequence = SerialSequenceOf(job);
    EXPECT_EQ(sequence.size(), 32u);
    std::string crlf;
    for (const char c : JobFile::text(job))
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ProductionJob edited = job;
    edited.note = "another note";
    edited.target = 500;
    for (const std::string& text : {crlf, JobFile::text(edited)}) {
        const JobFileRead read = JobFile::parse(text, job.name);
        ASSERT_TRUE(read.job) << read.error;
        EXPECT_EQ(SerialSequenceOf(*read.job), sequence);
    }
    // A file from before jobs carried one: its name and rule name it, so its
    // note and line ends still do not, and an edit of the rule does.
    nlohmann::json legacy = nlohmann::json::parse(JobFile::text(job));
    legacy["serial"].erase("sequence");
    const std::string before = SerialSequenceOf(*JobFile::parse(legacy.dump(), job.name).job);
    legacy["note"] = "edited";
    EXPECT_EQ(SerialSequenceOf(*JobFile::parse(legacy.dump(4), job.name).job), before);
    legacy["serial"]["first"] = 1000;
    EXPECT_NE(SerialSequenceOf(*JobFile::parse(legacy.dump(), job.name).job), before);
    // Written again (by the editor, or job create), it keeps what it had.
    JobChoices choices;
    choices.serial = job.serial;
    choices.serialSequence = before;
    selectChipAndLoad("image.bin");
    std::string error;
    const std::optional<ProductionJob> rewritten =
        CreateJob(workbench, path("job.belcorjob"), path("image.bin"), choices, error);
    ASSERT_TRUE(rewritten) << error;
    EXPECT_EQ(SerialSequenceOf(*rewritten), before);
    // The window's Save job over the job file keeps the file's sequence.
    choices.serialSequence.clear();
    const std::optional<ProductionJob> saved = SaveJob(workbench, path("job.belcorjob"), choices, error);
    ASSERT_TRUE(saved) << error;
    EXPECT_EQ(saved->serialSequence, sequence);
}

class JobSteps : public JobFileTest, public testing::WithParamInterface<std::pair<const char*, AutoOptions>> {};

// Such a job logged every chip as passed, with a serial and the image's CRC,
// and nothing on the chip.
TEST_P(JobSteps, WithoutProgramIsRefusedWhenMadeAndWhenOpened)
{
    ProductionJob job = makeJob();
    job.options = GetParam().second;
    EXPECT_NE(ApplyJob(workbench, host, job, path("job.belcorjob")).find("does not program the chip"),
              std::string::npos);
    selectChipAndLoad("image.bin");
    JobChoices choices;
    choices.options = GetParam().second;
    std::string error;
    EXPECT_FALSE(CreateJob(workbench, path("other.belcorjob"), path("image.bin"), choices, error));
    EXPECT_NE(error.find("does not program the chip"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Steps, JobSteps,
                         testing::Values(std::pair{"AllOff", AutoOptions{false, false, false}},
                                         std::pair{"EraseOnly", AutoOptions{true, false, false}},
                                         std::pair{"VerifyOnly", AutoOptions{false, false, true}}),
                         [](const auto& info) { return std::string(info.param.first); });

class JobProtectStep : public JobFileTest, public testing::WithParamInterface<bool> {};

// Stored only when set: a station that knows no such step must refuse the job
// rather than run it without, and every other job keeps its text and hash.
TEST_P(JobProtectStep, IsStoredOnlyWhenSetAndReadBack)
{
    ProductionJob job = makeJob();
    job.options.protect = GetParam();
    const std::string text = JobFile::text(job);
    EXPECT_EQ(text.find("\"protect\"") != std::string::npos, GetParam()) << text;
    EXPECT_EQ(nlohmann::json::parse(text)["version"], GetParam() ? 3 : 1);
    const JobFileRead read = JobFile::parse(text, "job");
    ASSERT_TRUE(read.job) << read.error;
    EXPECT_EQ(read.job->options.protect, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Steps, JobProtectStep, testing::Bool(),
                         [](const auto& info) { return info.param ? "Set" : "Unset"; });

TEST(JobFileText, OldJobFileIsWrittenBackByteForByte)
{
    const std::string old = R"({
  "auto": {
    "erase": true,
    "program": true,
    "verify": true
  },
  "chip": {
    "algorithm": "0",
    "class": "0",
    "delay": "300",
    "eeprom_page": "0",
    "eeprom_size": "0",
    "flash_page": "256",
    "flash_size": "1048576",
    "id": "0xEF4014",
    "manufacturer": "Winbond",
    "name": "W25Q80DV",
    "type": "SPI_FLASH",
    "voltage": "0",
    "xml_link": "0"
  },
  "expected": {
    "crc32": "0x7A057A05",
    "sha256": "6976a554eec4e7374a92cef4c3573485b8eb8a85b3863bbea110d797169c1806"
  },
  "format": "belcor-job",
  "image": {
    "file": "img.bin",
    "sha256": "6976a554eec4e7374a92cef4c3573485b8eb8a85b3863bbea110d797169c1806"
  },
  "locked": true,
  "note": "line 3",
  "version": 1
}
)";
    const JobFileRead read = JobFile::parse(old, "old");
    ASSERT_TRUE(read.job) << read.error;
    EXPECT_EQ(JobFile::text(*read.job), old);
}

// Job create refuses it; a job file edited by hand is refused when opened.
TEST_F(JobFileTest, ProtectingAChipWithoutProtectionBitsIsRefusedWhenMadeAndWhenOpened)
{
    const std::string refusal = "The chip 24_EEPROM,Atmel,AT24C01A has no protection bits to set; protection "
                                "after programming is for 25-series chips only.";
    ProductionJob job = makeJob();
    const std::vector<ChipSearchRow> rows = FindChips(workbench.catalogue, "24_EEPROM,Atmel,AT24C01A");
    ASSERT_EQ(rows.size(), 1u);
    job.chip = ChipRow::fromRecord(workbench.catalogue.ChipDatabase[static_cast<size_t>(rows.front().slot)]);
    job.options.protect = true;
    EXPECT_EQ(ApplyJob(workbench, host, job, path("job.belcorjob")), refusal);

    ASSERT_GE(SelectSearchResult(workbench, host, rows.front()), 0);
    workbench.buffers.dataLength = 16;
    JobChoices choices;
    choices.options.protect = true;
    std::string error;
    EXPECT_FALSE(CreateJob(workbench, path("other.belcorjob"), path("image.bin"), choices, error));
    EXPECT_EQ(error, refusal);
}

// A job as a station writes it, with a serial rule and a range.
nlohmann::json sampleJob()
{
    ProductionJob job;
    job.image = "image.bin";
    job.range = ProductionJob::Range{0, 0xFFF};
    job.serial = SerialRule{};
    job.note = "line 2";
    return nlohmann::json::parse(JobFile::text(job));
}

struct FieldCase {
    const char* name;
    std::function<void(nlohmann::json&)> change;
    const char* field;  // named in the refusal
};

class JobFileField : public testing::TestWithParam<FieldCase> {};

// Before, 4.9 was read as 4, -1 as 2^64-1, 1e30 as whatever the cast gave,
// and a NUL cut the image's path short.
TEST_P(JobFileField, RefusesAValueOfTheWrongTypeOrRangeNamingTheField)
{
    nlohmann::json job = sampleJob();
    ASSERT_TRUE(JobFile::parse(job.dump(), "x").job);
    GetParam().change(job);
    const JobFileRead read = JobFile::parse(job.dump(), "x");
    EXPECT_FALSE(read.job);
    EXPECT_NE(read.error.find(GetParam().field), std::string::npos) << read.error;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, JobFileField,
    testing::Values(FieldCase{"FirstBeyond64Bits", [](nlohmann::json& job) { job["serial"]["first"] = 1e30; },
                              "serial.first"},
                    FieldCase{"WidthNotWhole", [](nlohmann::json& job) { job["serial"]["width"] = 4.9; },
                              "serial.width"},
                    FieldCase{"StepNegative", [](nlohmann::json& job) { job["serial"]["step"] = -1; },
                              "serial.step"},
                    FieldCase{"StepPastTheWidth",
                              [](nlohmann::json& job) {
                                  job["serial"]["width"] = 1;
                                  job["serial"]["step"] = 256;
                              },
                              "step 256"},
                    FieldCase{"NulInTheImagePath",
                              [](nlohmann::json& job) { job["image"]["file"] = std::string("image.bin\0x", 11); },
                              "image.file"},
                    FieldCase{"NoteOver64KiB",
                              [](nlohmann::json& job) { job["note"] = std::string(64 * 1024 + 1, 'n'); }, "note"},
                    FieldCase{"LockedAsText", [](nlohmann::json& job) { job["locked"] = "yes"; }, "locked"},
                    FieldCase{"ChipCellAsNumber", [](nlohmann::json& job) { job["chip"]["flash_size"] = 65536; },
                              "chip.flash_size"},
                    FieldCase{"RangeBackwards", [](nlohmann::json& job) { job["range"]["start"] = "0x2000"; },
                              "range"},
                    FieldCase{"AddressNotHex", [](nlohmann::json& job) { job["serial"]["address"] = "-1"; },
                              "serial.address"},
                    FieldCase{"MoreImagesNotAList", [](nlohmann::json& job) { job["more_images"] = "b.bin"; },
                              "more_images"},
                    FieldCase{"MoreImageWithoutAddress",
                              [](nlohmann::json& job) {
                                  job["more_images"] = {{{"file", "b.bin"}, {"sha256", "00"}}};
                              },
                              "more_images[0].address"},
                    FieldCase{"MoreImageEmptyFile",
                              [](nlohmann::json& job) {
                                  job["more_images"] = {{{"file", ""}, {"sha256", "00"}, {"address", "0x10"}}};
                              },
                              "more_images[0].file"}),
    [](const testing::TestParamInfo<FieldCase>& info) { return std::string(info.param.name); });

// A path holding "%2" was changed by the next argument.
TEST(ProductionMessage, ArgumentsKeepThePlaceholdersTheyHold)
{
    EXPECT_EQ(ProductionText(Msg::JobImageChanged, English, {"/jobs/a%2b.bin", "HASH1", "HASH2"}),
              "The image file /jobs/a%2b.bin has changed since the job was made: its SHA-256 is HASH1, the job expects "
              "HASH2.");
}

}  // namespace
