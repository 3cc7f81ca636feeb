#include <string>

#include <gtest/gtest.h>

#include "buffers/BufferSet.h"
#include "production/JobFile.h"
#include "production/JobSetup.h"
#include "production/ProductionFixture.h"

namespace {

// The A25L512 (64 KiB) of the fixture's database, with a.bin (256 bytes of
// 0x11) and b.bin (128 bytes of 0x22) beside the job.
class JobImagesTest : public ProductionFixture {
protected:
    void SetUp() override
    {
        ProductionFixture::SetUp();
        writeFile("a.bin", std::vector<uint8_t>(0x100, 0x11));
        writeFile("b.bin", std::vector<uint8_t>(0x80, 0x22));
        selectChipAndLoad("a.bin");
    }
};

TEST_F(JobImagesTest, ImagesAreComposedAtTheirAddressesAndEachIsChecked)
{
    const std::vector<ImagePlacement> images{{path("a.bin"), std::nullopt}, {path("b.bin"), 0x1000}};
    ASSERT_EQ(LoadJobImages(workbench, images).error, "");
    std::string error;
    const std::optional<ProductionJob> made = CreateJob(workbench, path("job.belcorjob"), images, JobChoices{}, error);
    ASSERT_TRUE(made) << error;
    ASSERT_EQ(JobFile::write(path("job.belcorjob"), *made), "");
    const JobFileRead read = JobFile::read(path("job.belcorjob"));
    ASSERT_TRUE(read.job) << read.error;
    ASSERT_EQ(read.job->moreImages.size(), 1u);
    EXPECT_EQ(read.job->moreImages[0].file, "b.bin");
    EXPECT_EQ(read.job->moreImages[0].address, 0x1000u);

    workbench.buffers.ResetBuffers(65536);
    ASSERT_EQ(ApplyJob(workbench, host, *read.job, path("job.belcorjob")), "");
    const uint8_t* flash = workbench.buffers.flash();
    EXPECT_EQ(workbench.buffers.dataLength, 0x1080);
    EXPECT_EQ(flash[0xFF], 0x11);
    EXPECT_TRUE(std::all_of(flash + 0x100, flash + 0x1000, [](uint8_t byte) { return byte == 0xFF; }));
    EXPECT_EQ(flash[0x1000], 0x22);

    // The second image is as much the job's as the first.
    writeFile("b.bin", std::vector<uint8_t>(0x80, 0x23));
    const std::string refusal = ApplyJob(workbench, host, *read.job, path("job.belcorjob"));
    EXPECT_NE(refusal.find(path("b.bin")), std::string::npos) << refusal;
    EXPECT_NE(refusal.find(read.job->moreImages[0].sha256), std::string::npos) << refusal;
}

struct PlacementCase {
    const char* name;
    std::vector<std::pair<const char*, std::optional<uint32_t>>> images;
    const char* error;  // "" when accepted
};

class JobImagePlacement : public JobImagesTest, public testing::WithParamInterface<PlacementCase> {};

TEST_P(JobImagePlacement, RefusesOverlapsAndImagesPastTheChip)
{
    std::vector<ImagePlacement> images;
    for (const auto& [file, address] : GetParam().images)
        images.push_back({path(file), address});
    std::string expected = GetParam().error;
    for (const std::string file : {"a.bin", "b.bin"}) {
        for (size_t at = expected.find(" " + file); at != std::string::npos; at = expected.find(" " + file, at + 1))
            expected.replace(at + 1, file.size(), path(file));
    }
    const ImagesLoad load = LoadJobImages(workbench, images);
    EXPECT_EQ(load.error, expected);
    EXPECT_EQ(load.misplaced, !expected.empty());
}

INSTANTIATE_TEST_SUITE_P(
    , JobImagePlacement,
    testing::Values(
        PlacementCase{"Touching", {{"a.bin", 0}, {"b.bin", 0x100}}, ""},
        PlacementCase{"LastByteOfTheChip", {{"b.bin", 0xFF80}}, ""},
        PlacementCase{"OverlapByOneByte", {{"a.bin", 0}, {"b.bin", 0xFF}}, "The images a.bin and b.bin overlap at FFh."},
        PlacementCase{"SecondBelowTheFirst", {{"b.bin", 0x1000}, {"a.bin", 0xF81}},
                      "The images b.bin and a.bin overlap at 1000h."},
        PlacementCase{"SameFileTwice", {{"a.bin", 0}, {"a.bin", 0}}, "The images a.bin and a.bin overlap at 0h."},
        PlacementCase{"PastTheEndByOneByte", {{"b.bin", 0xFF81}},
                      "The image b.bin at FF81h passes the chip's end (10000h)."},
        PlacementCase{"StartingPastTheEnd", {{"a.bin", 0}, {"b.bin", 0x10000}},
                      "The image b.bin at 10000h passes the chip's end (10000h)."},
        PlacementCase{"AtTheTopOf32Bits", {{"b.bin", 0xFFFFFFFF}},
                      "The image b.bin at FFFFFFFFh passes the chip's end (10000h)."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
