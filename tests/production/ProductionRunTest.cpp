#include <sqlite3.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "buffers/BufferSet.h"
#include "production/JobSetup.h"
#include "production/ProductionFixture.h"
#include "production/ProductionLog.h"
#include "production/ProductionRun.h"

namespace {

class ProductionRunTest : public ProductionFixture {
protected:
    void SetUp() override
    {
        ProductionFixture::SetUp();
        writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
        belcor_sim_set_erase_time_ms(50);
        belcor_sim_set_feeder(1, 100);
        seatChip(Chip);
    }

    // Makes the job with `serial` ("" for none), applies it and opens the log.
    void prepare(const std::string& serial, bool reuseFailed = false)
    {
        selectChipAndLoad("image.bin");
        JobChoices choices;
        std::string error;
        if (!serial.empty()) {
            choices.serial = ParseSerialRule(serial, error);
            ASSERT_TRUE(choices.serial) << error;
            choices.serial->reuseFailed = reuseFailed;
        }
        const std::optional<ProductionJob> made = CreateJob(workbench, path("job.belcorjob"), path("image.bin"),
                                                            choices, error);
        ASSERT_TRUE(made) << error;
        job = *made;
        ASSERT_EQ(ApplyJob(workbench, host, job, path("job.belcorjob")), "");
        log = ProductionLog::open({path("log.sqlite")}, error);
        ASSERT_TRUE(log) << error;
    }

    // Runs `target` chips; each record with what the chip held at its serial's address.
    ProductionRun& run(int64_t target)
    {
        ProductionRun::Settings settings;
        settings.jobHash = "hash";
        settings.programmer = "BU2SIM";
        settings.target = target;
        settings.showErrorBoxes = false;
        production = std::make_unique<ProductionRun>(workbench, host, *log, job, settings);
        production->recorded = [this](const LogRecord& record) {
            records.push_back(record);
            if (job.serial)
                written.push_back(chipContents(job.serial->address, job.serial->width));
            if (afterEachChip)
                afterEachChip();
        };
        production->run([] { return true; });
        return *production;
    }

    ProductionJob job;
    std::unique_ptr<ProductionLog> log;
    std::unique_ptr<ProductionRun> production;
    std::vector<LogRecord> records;
    std::vector<std::vector<uint8_t>> written;
    std::function<void()> afterEachChip;
};

std::vector<uint8_t> text(const std::string& written)
{
    return {written.begin(), written.end()};
}

TEST_F(ProductionRunTest, EachChipGetsItsOwnSerialAndOneRecord)
{
    prepare("10:4:dec:7");
    EXPECT_EQ(run(3).done(), 3);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(written, (std::vector<std::vector<uint8_t>>{text("0007"), text("0008"), text("0009")}));
    EXPECT_EQ(records[2].serial, "0009");
    EXPECT_EQ(records[0].result, "pass");
    EXPECT_EQ(records[0].jedecId, "373010");
    EXPECT_EQ(records[0].programmer, "BU2SIM");
    EXPECT_EQ(log->local().records({}).size(), 3u);
    EXPECT_EQ(log->local().counters("job").passed, 3);
    // The loaded image is as it was; each chip's checksum covers its serial.
    EXPECT_EQ(workbench.buffers.flash()[0x10], 0x5A);
    EXPECT_NE(records[0].crc32, records[1].crc32);
}

struct ReuseCase {
    const char* name;
    bool reuse;
    std::vector<std::string> serials;
    std::vector<std::string> statuses;
};

class SerialReuse : public ProductionRunTest, public testing::WithParamInterface<ReuseCase> {};

TEST_P(SerialReuse, FailedChipsSerialFollowsTheJobsOption)
{
    prepare("10:4:le:1", GetParam().reuse);
    belcor_sim_inject_fault(BELCOR_SIM_STUCK_BIT, 0x100);
    afterEachChip = [] { belcor_sim_clear_faults(); };
    run(2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].result, "fail");
    EXPECT_NE(records[0].message.find("100"), std::string::npos) << records[0].message;
    EXPECT_EQ((std::vector<std::string>{records[0].serial, records[1].serial}), GetParam().serials);
    EXPECT_EQ((std::vector<std::string>{records[0].serialStatus, records[1].serialStatus}), GetParam().statuses);
}

INSTANTIATE_TEST_SUITE_P(Options, SerialReuse,
                         testing::Values(ReuseCase{"ScrappedByDefault", false, {"1", "2"}, {"scrapped", "used"}},
                                         ReuseCase{"Reused", true, {"1", "1"}, {"returned", "used"}}),
                         [](const testing::TestParamInfo<ReuseCase>& info) { return std::string(info.param.name); });

TEST_F(ProductionRunTest, SerialOverflowStopsBeforeTheChip)
{
    prepare("10:1:le:254");
    ProductionRun& production = run(5);
    EXPECT_EQ(production.done(), 2);
    EXPECT_NE(production.stopReason().find("does not fit in 1 bytes"), std::string::npos) << production.stopReason();
}

TEST_F(ProductionRunTest, UnwritableLogStopsBeforeAnyChipIsProgrammed)
{
    prepare("10:4:le:1");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path("log.sqlite").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    ProductionRun& production = run(3);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(production.done(), 0);
    EXPECT_NE(production.stopReason().find("cannot be written"), std::string::npos) << production.stopReason();
    EXPECT_EQ(chipContents(0, 16), std::vector<uint8_t>(16, 0xFF));
}

}  // namespace
