#include <poll.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "buffers/BufferSet.h"
#include "core/MessageCatalogue.h"
#include "production/JobSetup.h"
#include "production/JobValues.h"
#include "production/MacAddress.h"
#include "production/ProductionFixture.h"
#include "production/ProductionLog.h"
#include "production/ProductionRun.h"
#include "ops/ChipOperations.h"
#include "ops/StatusRegister.h"

namespace {

// Calls `duringChip` once, when the next chip's first progress bar appears
// (after its reservation, before its record), and `later` once at the
// `laterSleeps`-th pause from now (when the batch loop has seen the socket).
class DuringChipHost : public RecordingHost {
public:
    std::function<void()> duringChip;
    std::function<void()> later;
    int laterSleeps = 0;

    void showProgress(uint32_t maximum) override
    {
        RecordingHost::showProgress(maximum);
        if (duringChip)
            std::exchange(duringChip, nullptr)();
    }
    void sleepMs(uint32_t milliseconds) override
    {
        RecordingHost::sleepMs(milliseconds);
        if (later && --laterSleeps == 0)
            std::exchange(later, nullptr)();
    }
};

// Another program holding the log's write lock (BEGIN EXCLUSIVE) until
// released or `holdMs` has passed.
class LogHolder {
public:
    LogHolder(const std::string& path, int holdMs)
    {
        int ready[2];
        if (pipe(ready) != 0 || pipe(release_) != 0)
            return;
        child_ = fork();
        if (child_ == 0) {
            close(ready[0]);
            close(release_[1]);
            sqlite3* db = nullptr;
            const bool held = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                              sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
            char byte = held ? '1' : '0';
            (void)!write(ready[1], &byte, 1);
            pollfd wait{release_[0], POLLIN, 0};
            poll(&wait, 1, holdMs);
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            _exit(0);
        }
        close(ready[1]);
        close(release_[0]);
        char byte = '0';
        held_ = read(ready[0], &byte, 1) == 1 && byte == '1';
        close(ready[0]);
    }
    ~LogHolder() { release(); }
    bool held() const { return held_; }
    void release()
    {
        if (child_ <= 0)
            return;
        close(release_[1]);
        waitpid(child_, nullptr, 0);
        child_ = -1;
    }

private:
    pid_t child_ = -1;
    int release_[2] = {-1, -1};
    bool held_ = false;
};

class ProductionRunTest : public ProductionFixture {
protected:
    void SetUp() override
    {
        ProductionFixture::SetUp();
        writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
        belcor_sim_set_erase_time_ms(50);
        // The socket stays empty longer than the batch loop's period, as the
        // loop must see it empty to take the next chip for a new one.
        belcor_sim_set_feeder(1, 300);
        seatChip(Chip);
    }

    // Makes the job with `serial` ("" for none), applies it and opens the log.
    void prepare(const std::string& serial, bool reuseFailed = false, const std::string& logName = "log.sqlite")
    {
        selectChipAndLoad("image.bin");
        JobChoices choices;
        std::string error;
        if (!serial.empty()) {
            choices.serial = ParseSerialRule(serial, error);
            ASSERT_TRUE(choices.serial) << error;
            choices.serial->reuseFailed = reuseFailed;
        }
        choices.values = values;
        choices.reuseFailedValues = reuseFailedValues;
        choices.options.protect = protect;
        const std::optional<ProductionJob> made = CreateJob(workbench, path("job.belcorjob"), path("image.bin"),
                                                            choices, error);
        ASSERT_TRUE(made) << error;
        job = *made;
        ASSERT_EQ(ApplyJob(workbench, host, job, path("job.belcorjob")), "");
        log = ProductionLog::open({path(logName)}, error);
        ASSERT_TRUE(log) << error;
    }

    // Runs `target` chips; each record with what the chip held at its serial's address.
    ProductionRun& run(int64_t target, int64_t commitRetryMs = 30000)
    {
        ProductionRun::Settings settings;
        settings.jobHash = "hash";
        settings.programmer = "BU2SIM";
        settings.target = target;
        settings.showErrorBoxes = false;
        settings.commitRetryMs = commitRetryMs;
        production = std::make_unique<ProductionRun>(workbench, runHost, *log, job, settings);
        production->recorded = [this](const LogRecord& record) {
            records.push_back(record);
            if (job.serial)
                written.push_back(chipContents(job.serial->address, job.serial->width));
            if (afterEachChip)
                afterEachChip();
        };
        // A loop that hangs fails the test instead of holding it for ever.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        production->run([until] { return std::chrono::steady_clock::now() < until; });
        return *production;
    }

    DuringChipHost runHost;
    ProductionJob job;
    std::unique_ptr<ProductionLog> log;
    std::unique_ptr<ProductionRun> production;
    std::vector<LogRecord> records;
    std::vector<std::vector<uint8_t>> written;
    std::function<void()> afterEachChip;
    std::vector<ValueField> values;  // the job's value fields, paths absolute
    bool reuseFailedValues = false;
    bool protect = false;  // the job protects each chip after programming
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
    EXPECT_EQ(records[0].result, ChipResult::Pass);
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
    EXPECT_EQ(records[0].result, ChipResult::Fail);
    EXPECT_NE(records[0].message.find("100"), std::string::npos) << records[0].message;
    EXPECT_EQ((std::vector<std::string>{records[0].serial, records[1].serial}), GetParam().serials);
    EXPECT_EQ((std::vector<std::string>{records[0].serialStatus, records[1].serialStatus}), GetParam().statuses);
}

INSTANTIATE_TEST_SUITE_P(Options, SerialReuse,
                         testing::Values(ReuseCase{"ScrappedByDefault", false, {"1", "2"}, {"scrapped", "used"}},
                                         ReuseCase{"Reused", true, {"1", "1"}, {"returned", "used"}}),
                         [](const testing::TestParamInfo<ReuseCase>& info) { return std::string(info.param.name); });

struct SequenceEndCase {
    const char* name;
    const char* rule;
    const char* lastSerial;
    const char* width;  // as the reason names it
};

class SerialSequenceEndInRun : public ProductionRunTest, public testing::WithParamInterface<SequenceEndCase> {};

// Before, past 2^64 every further chip got the last value, and the run passed.
TEST_P(SerialSequenceEndInRun, StopsBeforeTheChipNamingTheLastValue)
{
    prepare(GetParam().rule);
    ProductionRun& production = run(5);
    EXPECT_EQ(production.done(), 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_NE(records[0].serial, records[1].serial);
    EXPECT_EQ(records[1].serial, GetParam().lastSerial);
    EXPECT_NE(production.stopReason().find(std::string("No serial number follows ") + GetParam().lastSerial +
                                           ": the next would not fit in " + GetParam().width + " as le"),
              std::string::npos)
        << production.stopReason();
}

INSTANTIATE_TEST_SUITE_P(Rules, SerialSequenceEndInRun,
                         testing::Values(SequenceEndCase{"PastTheWidth", "10:1:le:254", "255", "1 byte"},
                                         SequenceEndCase{"Past64Bits", "0x1F0:8:le:18446744073709551614",
                                                         "18446744073709551615", "8 bytes"}),
                         [](const testing::TestParamInfo<SequenceEndCase>& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    enum class Second { AnotherId, ImageReplaced, Protected } second;
    const char* text;  // in the second chip's failure text
};

class FailureText : public ProductionRunTest, public testing::WithParamInterface<FailureCase> {};

// These failed chips were logged with an empty message.
TEST_P(FailureText, EveryFailedChipSaysWhy)
{
    prepare("10:4:le:1");
    afterEachChip = [this] {
        if (records.size() != 1)
            return;
        belcor_sim_set_feeder(0, 0);
        belcor_sim_remove_chip();
        runHost.laterSleeps = 2;
        runHost.later = [this] {
            switch (GetParam().second) {
            case FailureCase::Second::AnotherId:
                seatChip({0, 0xEF4014, 65536, 256});
                break;
            case FailureCase::Second::ImageReplaced:
                // The window's Read of a blank chip, as a locked job's F4 could do.
                seatChip(Chip);
                RunOperation(workbench, host, Operation::Read);
                break;
            case FailureCase::Second::Protected:
                // Its program and erase do nothing: only the verify sees it.
                seatChip(Chip);
                belcor_sim_chip_set_status(0x1C);
                break;
            }
        };
    };
    run(2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].result, ChipResult::Fail);
    EXPECT_NE(records[1].message.find(GetParam().text), std::string::npos) << records[1].message;
    EXPECT_EQ(log->local().records({})[1].message, records[1].message);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, FailureText,
    testing::Values(FailureCase{"ChipWithAnotherId", FailureCase::Second::AnotherId, "reports the ID EF4014"},
                    FailureCase{"ImageReplacedByARead", FailureCase::Second::ImageReplaced,
                                "no longer holds the job's image"},
                    FailureCase{"WriteProtectedChip", FailureCase::Second::Protected,
                                "write-protected (status register 1Ch: BP0, BP1, BP2)"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// The log was held by another program for a while after the chip's
// reservation; the record waited for it instead of being lost.
struct ProtectRunCase {
    const char* name;
    uint8_t left;  // status bits an earlier tool left
    bool wpLow;    // the socket holds the WP pin low
    ChipResult result;
    const char* message;
    uint8_t after;  // the chip's register when its record is made
};

class ProtectInRun : public ProductionRunTest, public testing::WithParamInterface<ProtectRunCase> {};

TEST_P(ProtectInRun, ChipLeavesProtectedOrFailsSayingWhy)
{
    protect = true;
    prepare("");
    ASSERT_EQ(belcor_sim_chip_set_status(GetParam().left), 0);
    belcor_sim_set_write_protect_pin(GetParam().wpLow);
    uint8_t status = 0;
    afterEachChip = [&] { EXPECT_TRUE(RunReadStatusRegister(workbench, host, status)); };
    run(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].result, GetParam().result);
    EXPECT_EQ(records[0].message, GetParam().message);
    EXPECT_EQ(records[0].operations, "erase,program,verify,protect");
    EXPECT_EQ(status, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Registers, ProtectInRun,
    testing::Values(ProtectRunCase{"Protected", 0x00, false, ChipResult::Pass, "", 0x9C},
                    ProtectRunCase{"RegisterLocked", 0x80, true, ChipResult::Fail,
                                   "Protection did not take: the status register reads 80h, 9Ch expected", 0x80}),
    [](const testing::TestParamInfo<ProtectRunCase>& info) { return std::string(info.param.name); });

TEST_F(ProductionRunTest, ChipRecordWaitsForAnotherWriter)
{
    prepare("10:4:le:1");
    // Slower than the pauses between attempts, so the loop sees the socket empty.
    belcor_sim_set_feeder(1, 2000);
    std::unique_ptr<LogHolder> holder;
    runHost.duringChip = [&] { holder = std::make_unique<LogHolder>(path("log.sqlite"), 3000); };
    ProductionRun& production = run(2);
    ASSERT_TRUE(holder && holder->held());
    EXPECT_EQ(production.stopReason(), "");
    EXPECT_EQ(records.size(), 2u);
    EXPECT_EQ(log->local().counters(job.name).passed, 2);
}

// The record waited on the log longer than the feeder's swap, which the loop
// never saw: the next chip passed for the one done, and the batch hung.
TEST_F(ProductionRunTest, SlowRecordWhileTheFeederSwapsTheChipGoesOn)
{
    prepare("10:4:le:1");
    belcor_sim_set_feeder(1, 300);
    std::unique_ptr<LogHolder> holder;
    runHost.duringChip = [&] { holder = std::make_unique<LogHolder>(path("log.sqlite"), 2500); };
    ProductionRun& production = run(3);
    ASSERT_TRUE(holder && holder->held());
    EXPECT_EQ(production.stopReason(), "");
    EXPECT_EQ(records.size(), 3u);
    EXPECT_EQ(log->local().counters(job.name).passed, 3);
}

// A swap the watch missed, or a chip left in the socket: it cannot be told
// from the one done, so the run says so and stops instead of waiting.
TEST_F(ProductionRunTest, SlowRecordWithTheSocketNeverSeenEmptyStopsWithAMessage)
{
    prepare("10:4:le:1");
    belcor_sim_set_feeder(0, 0);
    std::unique_ptr<LogHolder> holder;
    runHost.duringChip = [&] { holder = std::make_unique<LogHolder>(path("log.sqlite"), 1500); };
    ProductionRun& production = run(3);
    ASSERT_TRUE(holder && holder->held());
    EXPECT_EQ(records.size(), 1u);
    EXPECT_NE(production.stopReason().find("the socket was not seen empty meanwhile"), std::string::npos)
        << production.stopReason();
}

// It was logged as "Flash check error address:0h".
TEST_F(ProductionRunTest, ChipPulledOutDuringItsRunIsRecordedAsRemoved)
{
    prepare("10:4:le:1");
    belcor_sim_set_feeder(0, 0);
    runHost.duringChip = [] { belcor_sim_remove_chip(); };
    // The programmer goes on writing into the empty socket, as a real one does.
    expectNoProtocolErrors = false;
    run(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].result, ChipResult::Fail);
    EXPECT_EQ(records[0].message, MessageCatalogue::text(Msg::ChipRemovedDuringRun, English));
}

// A record that still cannot go in stops the run naming the chip, waits in a
// file, and goes into the log when it is next opened; no further chip starts.
TEST_F(ProductionRunTest, RecordTheLogNeverTakesStopsTheRunAndWaitsForTheNextOpen)
{
    prepare("10:4:le:1");
    std::unique_ptr<LogHolder> holder;
    runHost.duringChip = [&] { holder = std::make_unique<LogHolder>(path("log.sqlite"), 60000); };
    ProductionRun& production = run(3, 1000);
    ASSERT_TRUE(holder && holder->held());
    EXPECT_EQ(production.done(), 1);
    EXPECT_TRUE(records.empty());
    const std::string& reason = production.stopReason();
    for (const char* fragment : {"(pass, serial 1, CRC-32 ", "log.sqlite.pending-"})
        EXPECT_NE(reason.find(fragment), std::string::npos) << reason;
    holder->release();

    std::string error;
    const std::unique_ptr<SqliteLog> reopened = SqliteLog::open(path("log.sqlite"), error);
    ASSERT_TRUE(reopened) << error;
    const std::vector<LogRecord> logged = reopened->records({});
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].result, ChipResult::Pass);
    EXPECT_EQ(logged[0].serial, "1");
    EXPECT_NE(reason.find(logged[0].crc32), std::string::npos);
    // The next chip, seated by the feeder, was never started.
    EXPECT_EQ(chipContents(0x10, 4), std::vector<uint8_t>(4, 0xFF));
}

// A small file system of its own, filled up on request; unmounted at the end.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& folder) : folder_(folder)
    {
        std::filesystem::create_directories(folder_);
        mounted_ = mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=1m") == 0;
    }
    ~SmallDisk()
    {
        // Detached: the log may still be open; the files go when it closes.
        if (mounted_)
            umount2(folder_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    void fill() const
    {
        std::FILE* filler = std::fopen((folder_ + "/filler").c_str(), "wb");
        const std::vector<char> block(4096, 'x');
        while (filler && std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0) {
        }
        if (filler)
            std::fclose(filler);
    }
    void clear() const { std::filesystem::remove(folder_ + "/filler"); }

private:
    std::string folder_;
    bool mounted_ = false;
};

// The disk filled up while a chip was programmed: its record can go nowhere,
// not even beside the log. The run stops naming the chip and keeps the record
// in memory; once there is room, the next start writes it first.
TEST_F(ProductionRunTest, FullDiskKeepsTheChipsRecordUntilThereIsRoom)
{
    const SmallDisk disk(path("disk"));
    if (!disk.mounted())
        GTEST_SKIP() << "no tmpfs could be mounted here (it needs root): " << std::strerror(errno);
    prepare("10:4:le:1", false, "disk/log.sqlite");
    afterEachChip = [&] { runHost.duringChip = [&] { disk.fill(); }; };
    ProductionRun& stopped = run(3);
    EXPECT_EQ(stopped.done(), 2);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(stopped.stopReason().find("(pass, serial 2, CRC-32 "), std::string::npos) << stopped.stopReason();
    EXPECT_NE(stopped.stopReason().find("nor to a file beside it"), std::string::npos) << stopped.stopReason();

    disk.clear();
    afterEachChip = nullptr;
    records.clear();
    EXPECT_EQ(run(1).stopReason(), "");
    std::vector<std::string> serials;
    for (const LogRecord& record : log->local().records({}))
        serials.push_back(record.serial + " " + ChipResultWord(record.result));
    EXPECT_EQ(serials, (std::vector<std::string>{"1 pass", "2 pass", "3 pass"}));
}

// Without a line server a serial rule belongs to one log: a new log would
// start the job's serial numbers again, and says so.
TEST_F(ProductionRunTest, NewLogOfAJobMadeElsewhereWarnsThatSerialsStartAgain)
{
    const auto warned = [this] {
        return std::any_of(runHost.log.begin(), runHost.log.end(), [](const std::string& line) {
            return line.find("has issued no serial number of job job, but 2 chips") != std::string::npos &&
                   line.find("where the next serial number was 3") != std::string::npos;
        });
    };
    prepare("10:4:le:1");
    run(2);
    EXPECT_FALSE(warned());
    std::string error;
    log = ProductionLog::open({path("new.sqlite")}, error);
    ASSERT_TRUE(log) << error;
    run(1);
    EXPECT_TRUE(warned());
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

// Job values: a MAC range and a list patched into each chip, as the serial is.
class JobValuesInRun : public ProductionRunTest {
protected:
    void addFields(const std::string& list)
    {
        std::ofstream(path("list.txt"), std::ios::binary) << list;
        std::string error;
        values = {*ParseMacField("0x40:02:00:00:00:00:01:02:00:00:00:00:09", error),
                  *ParseListField(path("list.txt") + ":0x80:ascii", error)};
    }
    std::vector<std::string> valuesOfRecords() const
    {
        std::vector<std::string> texts;
        for (const LogRecord& record : records)
            texts.push_back(record.values + " " + record.valuesStatus);
        return texts;
    }
};

struct ValuePolicyCase {
    const char* name;
    bool reuse;
    std::vector<std::string> taken;  // "MAC ITEM STATUS" of each chip
};

class ValuePolicy : public JobValuesInRun, public testing::WithParamInterface<ValuePolicyCase> {};

TEST_P(ValuePolicy, FailedChipsValuesFollowTheJobsPolicy)
{
    addFields("k1\nk2\nk3\nk4\nk5\nk6\n");
    reuseFailedValues = GetParam().reuse;
    prepare("");
    std::vector<std::vector<uint8_t>> macs;
    afterEachChip = [&] {
        macs.push_back(chipContents(0x40, 6));
        if (records.size() == 2)
            belcor_sim_inject_fault(BELCOR_SIM_STUCK_BIT, 0x100);
        else
            belcor_sim_clear_faults();
    };
    run(5);
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[2].result, ChipResult::Fail);
    EXPECT_EQ(valuesOfRecords(), GetParam().taken);
    EXPECT_EQ(macs[4], MacAddress::bytes(0x020000000000ull + (GetParam().reuse ? 4 : 5)));
    EXPECT_EQ(log->local().records({})[2].valuesStatus, records[2].valuesStatus);
    EXPECT_EQ(workbench.buffers.flash()[0x40], 0x5A);
}

INSTANTIATE_TEST_SUITE_P(
    Policies, ValuePolicy,
    testing::Values(ValuePolicyCase{"Burn",
                                    false,
                                    {"0x40=02:00:00:00:00:01; 0x80=k1 used", "0x40=02:00:00:00:00:02; 0x80=k2 used",
                                     "0x40=02:00:00:00:00:03; 0x80=k3 burned",
                                     "0x40=02:00:00:00:00:04; 0x80=k4 used", "0x40=02:00:00:00:00:05; 0x80=k5 used"}},
                    ValuePolicyCase{"Reuse",
                                    true,
                                    {"0x40=02:00:00:00:00:01; 0x80=k1 used", "0x40=02:00:00:00:00:02; 0x80=k2 used",
                                     "0x40=02:00:00:00:00:03; 0x80=k3 returned",
                                     "0x40=02:00:00:00:00:03; 0x80=k3 used", "0x40=02:00:00:00:00:04; 0x80=k4 used"}}),
    [](const testing::TestParamInfo<ValuePolicyCase>& info) { return std::string(info.param.name); });

// A second run goes on where the first stopped, and a list that runs out
// stops the run before the next chip, naming the list.
TEST_F(JobValuesInRun, NextRunContinuesAndAUsedUpListStops)
{
    addFields("k1\nk2\nk3\n");
    prepare("");
    run(2);
    records.clear();
    ProductionRun& second = run(5);
    EXPECT_EQ(second.done(), 1);
    EXPECT_EQ(valuesOfRecords(), std::vector<std::string>{"0x40=02:00:00:00:00:03; 0x80=k3 used"});
    EXPECT_NE(second.stopReason().find("list.txt@0x80 has no value left"), std::string::npos)
        << second.stopReason();
}

// A chip whose program died keeps its values as interrupted; none is issued again.
TEST_F(JobValuesInRun, InterruptedChipsValuesAreNotIssuedAgain)
{
    addFields("k1\nk2\n");
    prepare("");
    LogRecord chip;
    chip.uid = "dead-chip";
    chip.job = job.name;
    chip.time = "2026-01-01T00:00:00.000Z";
    std::string error;
    std::optional<JobValues> loaded = JobValues::load(job, job.path, {}, 0, 0x1000, English, error);
    ASSERT_TRUE(loaded) << error;
    ASSERT_EQ(log->local().reserve(chip, nullptr, &*loaded).outcome, Reservation::Outcome::Reserved);
    // As if its program had died: a log opened later finds the reservation abandoned.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path("log.sqlite").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "UPDATE reservations SET owner = 'gone'", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    log.reset();
    log = ProductionLog::open({path("log.sqlite")}, error);
    ASSERT_TRUE(log) << error;
    run(5);
    EXPECT_EQ(valuesOfRecords(), std::vector<std::string>{"0x40=02:00:00:00:00:02; 0x80=k2 used"});
    const std::vector<LogRecord> stored = log->local().records({});
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].values + " " + stored[0].valuesStatus, "0x40=02:00:00:00:00:01; 0x80=k1 interrupted");
}

TEST_F(JobValuesInRun, ChangedListRefusesTheRun)
{
    addFields("k1\nk2\n");
    prepare("");
    std::ofstream(path("list.txt"), std::ios::app) << "k3\n";
    ProductionRun& production = run(1);
    EXPECT_EQ(production.done(), 0);
    EXPECT_NE(production.stopReason().find("The value list " + path("list.txt") + " changed"), std::string::npos)
        << production.stopReason();
}

// A key file too long for its place is refused before the chip and stays
// for the run after it is replaced.
TEST_F(JobValuesInRun, DeviceFileTooLongStopsBeforeTheChip)
{
    std::filesystem::create_directory(path("keys"));
    writeFile("keys/a.key", std::vector<uint8_t>(16, 0xA1));
    writeFile("keys/b.key", std::vector<uint8_t>(16, 0xB2));
    std::string error;
    values = {*ParseFilesField(path("keys") + ":0x800", error), *ParseMacField("0x820:02:00:00:00:00:01:02:00:00:00:00:09", error)};
    prepare("");
    run(1);
    EXPECT_EQ(chipContents(0x800, 16), std::vector<uint8_t>(16, 0xA1));
    writeFile("keys/b.key", std::vector<uint8_t>(40, 0xB2));
    records.clear();
    ProductionRun& production = run(1);
    EXPECT_EQ(production.done(), 0);
    EXPECT_NE(production.stopReason().find("b.key holds 40 bytes"), std::string::npos) << production.stopReason();
    writeFile("keys/b.key", std::vector<uint8_t>(32, 0xB2));
    run(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].values, "0x800=b.key; 0x820=02:00:00:00:00:02");
}

}  // namespace
