#include <atomic>
#include <functional>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "production/GangRun.h"
#include "production/JobSetup.h"
#include "production/ProductionFixture.h"
#include "production/ProductionLog.h"
#include "production/ProductionRun.h"
#include "production/ValueField.h"

namespace {

// Gang runs on a simulated bus of N programmers, each with the A25L512, a fast
// erase and a feeder that swaps every programmed chip for a blank one.
class GangRunTest : public ProductionFixture {
protected:
    void SetUp() override
    {
        ProductionFixture::SetUp();
        writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
    }

    // `values`: the job's value fields; with them the job has no serial rule.
    void prepare(int programmers, bool feeder = true, std::vector<ValueField> values = {})
    {
        std::ofstream(path("gang.scenario")) << "chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 30\n"
                                             << (feeder ? "feeder on 100\n" : "") << "programmers " << programmers
                                             << "\n";
        ASSERT_EQ(belcor_sim_load_scenario(path("gang.scenario").c_str()), 0) << belcor_sim_last_error();
        selectChipAndLoad("image.bin");
        JobChoices choices;
        std::string error;
        choices.values = std::move(values);
        if (choices.values.empty()) {
            choices.serial = ParseSerialRule("0x10:4:le:1", error);
            ASSERT_TRUE(choices.serial) << error;
        }
        const std::optional<ProductionJob> made =
            CreateJob(workbench, path("job.belcorjob"), path("image.bin"), choices, error);
        ASSERT_TRUE(made) << error;
        job = *made;
        ASSERT_EQ(ApplyJob(workbench, host, job, path("job.belcorjob")), "");
        log = ProductionLog::open({path("log.sqlite")}, error);
        ASSERT_TRUE(log) << error;
        for (int number = 1; number <= programmers; ++number)
            serials.push_back("BU2SIM000000" + std::to_string(number));
    }

    // Runs the gang to `target` chips, or until `stop` is set.
    GangRun& run(int64_t target)
    {
        GangRun::Settings settings;
        settings.jobHash = "hash";
        settings.target = target;
        return run(settings);
    }

    GangRun& run(const GangRun::Settings& settings)
    {
        gang = std::make_unique<GangRun>(workbench, *log, job, settings, serials);
        gang->recorded = [this](size_t, const LogRecord& record) {
            const std::lock_guard lock(recordsMutex);
            records.push_back(record);
            if (stopAfterFirst)
                stop = true;
            if (afterRecord)
                afterRecord(*gang, records.size());
        };
        gang->start([this] { return !stop; });
        gang->wait();
        return *gang;
    }

    std::set<std::string> programmersLogged() const
    {
        std::set<std::string> names;
        for (const LogRecord& record : records)
            names.insert(record.programmer);
        return names;
    }

    ProductionJob job;
    std::unique_ptr<ProductionLog> log;
    std::vector<std::string> serials;
    std::unique_ptr<GangRun> gang;
    std::mutex recordsMutex;
    std::vector<LogRecord> records;
    std::atomic<bool> stop{false};
    bool stopAfterFirst = false;
    std::function<void(GangRun&, size_t recorded)> afterRecord;
};

class GangSizes : public GangRunTest, public testing::WithParamInterface<int> {};

TEST_P(GangSizes, EveryChipHasItsOwnSerialAndOneRecordNamingItsProgrammer)
{
    const int programmers = GetParam();
    prepare(programmers);
    const int64_t target = 3 * programmers;
    GangRun& done = run(target);
    ASSERT_EQ(int64_t(records.size()), target);
    EXPECT_EQ(done.passed(), target);
    std::set<std::string> serialNumbers;
    for (const LogRecord& record : records) {
        EXPECT_EQ(record.result, ChipResult::Pass) << record.programmer << ": " << record.message;
        serialNumbers.insert(record.serial);
    }
    EXPECT_EQ(int64_t(serialNumbers.size()), target);
    EXPECT_EQ(programmersLogged().size(), size_t(programmers));
    int64_t breakdown = 0;
    for (const GangRun::SeatView& view : done.views())
        breakdown += view.passed + view.failed;
    EXPECT_EQ(breakdown, target);
    EXPECT_EQ(log->local().counters(job.name).total(), target);
    EXPECT_TRUE(protocolErrors().empty());
}

INSTANTIATE_TEST_SUITE_P(Gangs, GangSizes, testing::Values(2, 4),
                         [](const auto& info) { return std::to_string(info.param) + "Programmers"; });

struct FaultCase {
    const char* name;
    int fault;
    uint32_t after;
};

class FaultOnOne : public GangRunTest, public testing::WithParamInterface<FaultCase> {};

// Programmer 2's chip fails with its message; the others go on to the target.
TEST_P(FaultOnOne, FailsItsChipAndStopsNoOther)
{
    prepare(3);
    belcor_sim_inject_fault_at(2, GetParam().fault, GetParam().after);
    GangRun& done = run(6);
    ASSERT_EQ(records.size(), 6u);
    int failedOnTwo = 0;
    for (const LogRecord& record : records) {
        if (record.programmer == "BU2SIM0000002" && record.result == ChipResult::Fail) {
            ++failedOnTwo;
            EXPECT_FALSE(record.message.empty());
        } else {
            EXPECT_EQ(record.result, ChipResult::Pass) << record.programmer << ": " << record.message;
        }
    }
    EXPECT_GE(failedOnTwo, 1);
    EXPECT_EQ(done.failed(), failedOnTwo);
    EXPECT_EQ(log->local().counters(job.name).failed, failedOnTwo);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultOnOne,
                         testing::Values(FaultCase{"UnpluggedMidWrite", BELCOR_SIM_UNPLUG, 40},
                                         FaultCase{"StuckBit", BELCOR_SIM_STUCK_BIT, 0x20}),
                         [](const auto& info) { return std::string(info.param.name); });

// It went unmentioned: the seat polled for ever and the run ended as if all
// were well.
TEST_F(GangRunTest, ProgrammerUnpluggedWhileWaitingStopsItsSeatWithAMessage)
{
    prepare(2);
    belcor_sim_set_feeder_at(2, 0, 0);
    belcor_sim_remove_chip_at(2);
    afterRecord = [](GangRun&, size_t recorded) {
        if (recorded == 1)
            belcor_sim_set_plugged_at(2, 0);
    };
    GangRun& done = run(4);
    EXPECT_EQ(records.size(), 4u);
    const std::vector<GangRun::SeatView> views = done.views();
    ASSERT_EQ(views.size(), 2u);
    EXPECT_EQ(views[0].stopReason, "");
    EXPECT_NE(views[1].stopReason.find("BU2SIM0000002 left the bus while waiting for a chip"), std::string::npos)
        << views[1].stopReason;
}

TEST_F(GangRunTest, StopLetsChipsInFlightFinish)
{
    prepare(4);
    stopAfterFirst = true;
    GangRun& done = run(100);
    EXPECT_FALSE(done.running());
    EXPECT_GE(records.size(), 1u);
    EXPECT_LT(records.size(), 100u);
    for (const LogRecord& record : records)
        EXPECT_EQ(record.result, ChipResult::Pass) << record.programmer << ": " << record.message;
    // Every chip that was written was also logged: no chip left half done.
    uint32_t written = 0;
    for (int number = 1; number <= 4; ++number) {
        uint8_t first = 0xFF;
        if (belcor_sim_chip_read_at(number, 0, &first, 1) == 1 && first != 0xFF)
            ++written;
        written += belcor_sim_feeder_done_count_at(number);
    }
    EXPECT_EQ(written, records.size());
}

// What the window holds stays as it was: no programmer rounds its data
// length or clears its unsaved flag.
TEST_F(GangRunTest, SeatsLeaveTheStationsBuffersAsTheyWere)
{
    prepare(2);
    workbench.buffers.dataLength = 4000;
    workbench.buffers.unsaved = true;
    run(4);
    ASSERT_EQ(records.size(), 4u);
    for (const LogRecord& record : records)
        EXPECT_EQ(record.result, ChipResult::Pass) << record.programmer << ": " << record.message;
    EXPECT_EQ(workbench.buffers.dataLength, 4000);
    EXPECT_TRUE(workbench.buffers.unsaved);
}

// Job values without a serial rule are patched into each programmer's own
// copy: in the station's image one programmer's chip would take another's.
TEST_F(GangRunTest, JobValuesNeverReachTheStationsImage)
{
    std::string error;
    prepare(3, true, {*ParseMacField("0x40:02:00:00:00:00:01:02:00:00:00:00:FF", error)});
    std::atomic<int> patchedStation{0};
    GangRun::Settings settings;
    settings.jobHash = "hash";
    settings.target = 9;
    gang = std::make_unique<GangRun>(workbench, *log, job, settings, serials);
    gang->started = [&](size_t, const std::string&) { patchedStation += workbench.buffers.flash()[0x40] != 0x5A; };
    gang->recorded = [this](size_t, const LogRecord& record) {
        const std::lock_guard lock(recordsMutex);
        records.push_back(record);
    };
    gang->start([] { return true; });
    gang->wait();
    ASSERT_EQ(records.size(), 9u);
    std::set<std::string> macs;
    for (const LogRecord& record : records) {
        EXPECT_EQ(record.result, ChipResult::Pass) << record.programmer << ": " << record.message;
        macs.insert(record.values);
    }
    EXPECT_EQ(macs.size(), 9u);
    EXPECT_EQ(patchedStation.load(), 0);
    EXPECT_EQ(workbench.buffers.flash()[0x40], 0x5A);
}

// An exception in one programmer's loop ends that programmer with its
// message; the process and the other programmer go on to the target.
TEST_F(GangRunTest, AnExceptionEndsItsProgrammerOnly)
{
    prepare(2);
    GangRun::Settings settings;
    settings.jobHash = "hash";
    settings.target = 4;
    gang = std::make_unique<GangRun>(workbench, *log, job, settings, serials);
    gang->recorded = [this](size_t seat, const LogRecord& record) {
        {
            const std::lock_guard lock(recordsMutex);
            records.push_back(record);
        }
        if (seat == 1)
            throw std::runtime_error("display gone");
    };
    gang->start([] { return true; });
    gang->wait();
    const std::vector<GangRun::SeatView> views = gang->views();
    EXPECT_FALSE(views[1].running);
    EXPECT_NE(views[1].stopReason.find("display gone"), std::string::npos) << views[1].stopReason;
    EXPECT_EQ(views[1].passed, 1);
    EXPECT_TRUE(views[0].stopReason.empty()) << views[0].stopReason;
    EXPECT_EQ(views[0].passed, 3);
    EXPECT_EQ(log->local().counters(job.name).total(), 4);
}

TEST_F(GangRunTest, OneProgrammerGangProgramsWhatASingleRunDoes)
{
    prepare(1, false);
    run(1);
    ASSERT_EQ(records.size(), 1u);
    const std::vector<uint8_t> gangChip = chipContents(0, 65536);
    const LogRecord gangRecord = records.front();

    belcor_sim_load_scenario(path("gang.scenario").c_str());
    std::string error;
    log = ProductionLog::open({path("single.sqlite")}, error);
    ASSERT_TRUE(log) << error;
    ProductionRun::Settings settings;
    settings.jobHash = "hash";
    settings.programmer = "BU2SIM0000001";
    settings.target = 1;
    settings.showErrorBoxes = false;
    ProductionRun single(workbench, host, *log, job, settings);
    LogRecord singleRecord;
    single.recorded = [&](const LogRecord& record) { singleRecord = record; };
    single.run([] { return true; });
    EXPECT_EQ(chipContents(0, 65536), gangChip);
    EXPECT_EQ(singleRecord.serial, gangRecord.serial);
    EXPECT_EQ(singleRecord.sha256, gangRecord.sha256);
}

// The job's target counts good chips only: programmer 2 fails every chip, the
// others make up for it, and no programmer makes a good chip past the target.
TEST_F(GangRunTest, GoodChipTargetCountsOnlyPassedChips)
{
    prepare(3);
    belcor_sim_inject_fault_at(2, BELCOR_SIM_STUCK_BIT, 0x20);
    GangRun::Settings settings;
    settings.goodTarget = 7;
    settings.goodBefore = 2;
    GangRun& done = run(settings);
    EXPECT_EQ(done.passed(), 5);
    EXPECT_GE(done.failed(), 1);
    EXPECT_TRUE(done.goodTargetReached());
    EXPECT_FALSE(done.running());
}

struct TargetChange {
    const char* name;
    int64_t first;
    int64_t changed;  // after the first chip
    int64_t passed;
};

class TargetChangedMidRun : public GangRunTest, public testing::WithParamInterface<TargetChange> {};

TEST_P(TargetChangedMidRun, CountsFromTheNextChip)
{
    prepare(1);
    afterRecord = [](GangRun& running, size_t recorded) {
        if (recorded == 1)
            running.setGoodTarget(GetParam().changed);
    };
    GangRun::Settings settings;
    settings.goodTarget = GetParam().first;
    EXPECT_EQ(run(settings).passed(), GetParam().passed);
}

INSTANTIATE_TEST_SUITE_P(Targets, TargetChangedMidRun,
                         testing::Values(TargetChange{"Raised", 2, 4, 4}, TargetChange{"Lowered", 9, 2, 2},
                                         TargetChange{"LoweredBelowTheChipsMade", 9, 1, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
