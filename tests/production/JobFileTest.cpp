#include <fstream>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "production/JobFile.h"
#include "production/JobSetup.h"
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
                {"image.bin", "missing"}}),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST(JobFileText, RefusesWhatIsNoJob)
{
    EXPECT_NE(JobFile::parse("{\"format\": \"other\"}", "x").error, "");
    EXPECT_NE(JobFile::parse("{ not json", "x").error, "");
    EXPECT_NE(JobFile::read("/nonexistent/job.belcorjob").error, "");
}

}  // namespace
