#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/MessageCatalogue.h"
#include "production/ChipRate.h"
#include "production/CsvExport.h"
#include "production/SerialRule.h"
#include "production/SqliteLog.h"

namespace {

class SqliteLogTest : public testing::Test {
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
                 ("belcor-log-" + std::to_string(::getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        log = open();
    }
    void TearDown() override
    {
        log.reset();
        std::filesystem::remove_all(folder);
    }
    std::unique_ptr<SqliteLog> open()
    {
        std::string error;
        auto opened = SqliteLog::open((folder / "log.sqlite").string(), error);
        EXPECT_TRUE(opened) << error;
        return opened;
    }
    LogRecord record(const std::string& uid, const std::string& result, const std::string& message = {})
    {
        LogRecord made;
        made.uid = uid;
        made.time = "2026-12-07T10:00:00.000Z";
        made.job = "job";
        made.result = ChipResultOf(result);
        made.message = message;
        made.cycleMs = 1000;
        return made;
    }
    void commit(LogRecord made, std::optional<uint64_t> returned = std::nullopt)
    {
        std::string error;
        ASSERT_TRUE(log->commit(made, returned, error)) << error;
    }
    // The serial number a chip `uid` of "job" reserves.
    std::optional<uint64_t> reserve(SqliteLog& into, const std::string& uid, const SerialRule& rule)
    {
        LogRecord chip = record(uid, "");
        const Reservation reservation = into.reserve(chip, &rule);
        EXPECT_NE(reservation.outcome, Reservation::Outcome::Failed) << reservation.error;
        return reservation.outcome == Reservation::Outcome::Reserved ? reservation.serial : std::nullopt;
    }

    std::filesystem::path folder;
    std::unique_ptr<SqliteLog> log;
};

// A log from before records named their operator (and before logs kept a
// schema version) keeps its records and takes the new ones with their operator.
TEST_F(SqliteLogTest, ALogWithoutTheOperatorColumnGainsIt)
{
    commit(record("old", "pass"));
    log.reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "log.sqlite").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "ALTER TABLE records DROP COLUMN operator; PRAGMA user_version = 0", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    log = open();
    LogRecord made = record("new", "pass");
    made.operatorName = "Ann";
    commit(made);
    const std::vector<LogRecord> records = log->records({});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].operatorName, "");
    EXPECT_EQ(records[1].operatorName, "Ann");
}

// A log from before it kept which jobs leased serials: the block left, under
// the job file's hash, still serves a run without the line server (a record
// sent to one marks its job too), and no value of the station's own follows.
TEST_F(SqliteLogTest, ALogThatLeasedBeforeTakesOnlyItsLeasedBlockOffline)
{
    LogRecord sent = record("sent", "pass");
    sent.job = "sent";
    sent.serial = "5";
    commit(sent);
    std::string error;
    ASSERT_TRUE(log->markForwarded(1, error)) << error;
    log.reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "log.sqlite").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "DROP TABLE leased_jobs; INSERT INTO leased_serials VALUES('job', 'hash', '1000', 2); "
                           "PRAGMA user_version = 0",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    log = open();
    SerialRule rule;
    std::vector<Reservation::Outcome> outcomes;
    std::vector<uint64_t> serials;
    for (const char* job : {"job", "job", "job", "sent"}) {
        LogRecord chip = record(std::string("chip-") + std::to_string(outcomes.size()), "");
        chip.job = job;
        chip.jobHash = "hash";
        chip.serialSequence = "sequence";
        const Reservation reservation = log->reserve(chip, &rule);
        outcomes.push_back(reservation.outcome);
        serials.push_back(reservation.serial.value_or(0));
    }
    using Outcome = Reservation::Outcome;
    EXPECT_EQ(outcomes, (std::vector<Outcome>{Outcome::Reserved, Outcome::Reserved, Outcome::LeaseNeeded,
                                              Outcome::LeaseNeeded}));
    EXPECT_EQ(serials[0], 1000u);
    EXPECT_EQ(serials[1], 1001u);
}

TEST_F(SqliteLogTest, CountersSurviveARestartAndResetOnlyOnRequest)
{
    // Three chips a second apart: two good ones in three seconds of work.
    const char* const ends[] = {"2026-12-07T10:00:01.000Z", "2026-12-07T10:00:02.000Z", "2026-12-07T10:00:03.000Z"};
    LogRecord chips[] = {record("a", "pass"), record("b", "pass"), record("c", "fail", "Verify failed at address 10.")};
    for (int chip = 0; chip < 3; ++chip) {
        chips[chip].time = ends[chip];
        commit(chips[chip]);
    }
    log = open();
    ProductionCounters counters = log->counters("job");
    EXPECT_EQ(counters.passed, 2);
    EXPECT_EQ(counters.failed, 1);
    EXPECT_EQ(counters.averageCycleMs(), 1000);
    EXPECT_DOUBLE_EQ(*counters.chipsPerHour(), 2400.0);
    // Eight good chips still wanted, at 1.5 s a good chip.
    EXPECT_EQ(counters.timeLeftMs(10), 12000);
    std::string error;
    ASSERT_TRUE(log->resetCounters("job", error));
    EXPECT_EQ(log->counters("job").total(), 0);
    EXPECT_EQ(log->records({}).size(), 3u);
}

TEST_F(SqliteLogTest, SameRecordIsNeverStoredTwice)
{
    commit(record("a", "pass"));
    // A record sent again (kept pending, then written by two programs) is taken as stored.
    commit(record("a", "pass"));
    EXPECT_EQ(log->records({}).size(), 1u);
    EXPECT_EQ(log->counters("job").passed, 1);
}

TEST_F(SqliteLogTest, ReservedSerialsAreNeverHandedOutTwiceAcrossRestarts)
{
    SerialRule rule;
    rule.first = 100;
    rule.step = 5;
    EXPECT_EQ(reserve(*log, "a", rule), 100u);
    log = open();
    EXPECT_EQ(reserve(*log, "b", rule), 105u);
    EXPECT_EQ(log->peekSerial("job", rule), 110u);
}

TEST_F(SqliteLogTest, ReturnedSerialGoesToTheNextChip)
{
    SerialRule rule;
    const std::optional<uint64_t> failedChip = reserve(*log, "a", rule);
    ASSERT_TRUE(failedChip);
    commit(record("a", "fail"), failedChip);
    EXPECT_EQ(reserve(*log, "b", rule), failedChip);
    EXPECT_EQ(reserve(*log, "c", rule), *failedChip + 1);
}

struct SequenceEnd {
    const char* name;
    const char* rule;
    std::vector<uint64_t> issued;  // then the rule has no further value
};

class SerialSequenceEnd : public SqliteLogTest, public testing::WithParamInterface<SequenceEnd> {};

// Before, the value past the end stayed put and every further chip got it.
TEST_P(SerialSequenceEnd, StopsAfterTheLastValueInsteadOfRepeatingIt)
{
    std::string error;
    const std::optional<SerialRule> rule = ParseSerialRule(GetParam().rule, error);
    ASSERT_TRUE(rule) << error;
    std::vector<uint64_t> issued;
    for (size_t chip = 0; chip < GetParam().issued.size(); ++chip)
        issued.push_back(reserve(*log, "chip" + std::to_string(chip), *rule).value_or(0));
    EXPECT_EQ(issued, GetParam().issued);
    LogRecord next = record("next", "");
    const Reservation end = log->reserve(next, &*rule);
    EXPECT_EQ(end.outcome, Reservation::Outcome::SerialsUsedUp);
    EXPECT_EQ(end.last, GetParam().issued.back());
    EXPECT_EQ(log->peekSerial("job", *rule), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SerialSequenceEnd,
    testing::Values(SequenceEnd{"Past64Bits", "0:8:le:18446744073709551614", {18446744073709551614u, 18446744073709551615u}},
                    SequenceEnd{"StepPast64Bits", "0:8:be:10:9223372036854775808", {10, 9223372036854775818u}},
                    SequenceEnd{"PastTheWidth", "0:1:le:250:5", {250, 255}},
                    SequenceEnd{"PastTheDigits", "0:3:dec:997:2", {997, 999}},
                    SequenceEnd{"PastBcd", "0:1:bcd:98", {98, 99}}),
    [](const testing::TestParamInfo<SequenceEnd>& info) { return std::string(info.param.name); });

// A program that dies between reservation and record leaves a reservation
// that the next open turns into an interrupted record: the serial may be on
// the chip. One of a program still running stays a reservation.
TEST_F(SqliteLogTest, OnlyReservationsOfEndedProgramsBecomeInterruptedRecords)
{
    SerialRule rule;
    rule.first = 7;
    const pid_t child = fork();
    if (child == 0) {
        std::string error;
        const std::unique_ptr<SqliteLog> dying = SqliteLog::open((folder / "log.sqlite").string(), error);
        LogRecord chip = record("killed", "");
        chip.programmer = "BU2SIM";
        _exit(dying && dying->reserve(chip, &rule).outcome == Reservation::Outcome::Reserved ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(reserve(*log, "running", rule), 8u);

    log = open();
    const std::vector<LogRecord> records = log->records({});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].uid, "killed");
    EXPECT_EQ(records[0].result, ChipResult::Interrupted);
    EXPECT_EQ(records[0].message, MessageCatalogue::text(Msg::InterruptedRecordMessage, English));
    EXPECT_EQ(records[0].serial, "7");
    EXPECT_EQ(records[0].programmer, "BU2SIM");
    EXPECT_EQ(log->counters("job").interrupted, 1);
    EXPECT_EQ(log->counters("job").total(), 1);
    // The running program's chip completes its reservation as usual.
    LogRecord done = record("running", "pass");
    done.serial = "8";
    commit(done);
    EXPECT_EQ(log->records({}).size(), 2u);
    EXPECT_EQ(log->counters("job").passed, 1);
    EXPECT_EQ(reserve(*log, "after", rule), 9u);
}

// A result word no build writes (a damaged row) reads as a chip of unknown
// outcome: neither a good chip nor a failed one, and no cycle of the rate.
TEST_F(SqliteLogTest, UnknownResultWordReadsAsInterrupted)
{
    commit(record("a", "pass"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "log.sqlite").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "UPDATE records SET result = 'passed'", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    const std::vector<LogRecord> records = log->records({});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].result, ChipResult::Interrupted);
    EXPECT_EQ(ChipRate::goodPerHour(records), std::nullopt);
}

// A record the log could not take waits in a file beside it; the next
// program to open the log writes it in, once, in place of its reservation,
// byte for byte (a job named in Latin-1 included).
TEST_F(SqliteLogTest, PendingRecordGoesInAtTheNextOpenOnce)
{
    const std::string job = "l\xEFne";
    SerialRule rule;
    LogRecord late = record("late", "");
    late.job = job;
    late.operatorName = "Ann";
    ASSERT_EQ(log->reserve(late, &rule).serial, 1u);
    late.result = ChipResult::Pass;
    const std::string file = log->keepPending(late, std::nullopt);
    ASSERT_TRUE(std::filesystem::exists(file)) << file;

    const std::unique_ptr<SqliteLog> next = open();
    EXPECT_FALSE(std::filesystem::exists(file));
    std::string error;
    EXPECT_TRUE(log->flushPending(error)) << error;
    EXPECT_EQ(log->pendingCount(), 0u);
    const std::vector<LogRecord> records = next->records({});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].result, ChipResult::Pass);
    EXPECT_EQ(records[0].serial, "1");
    EXPECT_EQ(records[0].operatorName, "Ann");
    EXPECT_EQ(next->counters(job).passed, 1);
    EXPECT_EQ(next->counters(job).interrupted, 0);
}

TEST_F(SqliteLogTest, CsvExportReadsBackInPythonsCsvModule)
{
    LogRecord first = record("a", "pass");
    first.operatorName = "Badge 0042";
    commit(first);
    commit(record("b", "fail", "Verify failed, \"really\"\nat 0x10 — 校验失败"));
    LogRecord formula = record("c", "fail", "-1 at 0x10");
    formula.job = "=1+2";
    formula.station = "@SUM(A1)";
    commit(formula);
    int64_t count = 0;
    const std::string csv = (folder / "log.csv").string();
    ASSERT_EQ(ExportCsv(*log, {}, csv, count), "");
    EXPECT_EQ(count, 3);
    const std::string script =
        "import csv,sys\n"
        "rows=list(csv.DictReader(open(sys.argv[1],encoding='utf-8-sig',newline='')))\n"
        "assert len(rows)==3, rows\n"
        "assert (rows[2]['job'], rows[2]['station'], rows[2]['message'])==(\"'=1+2\", \"'@SUM(A1)\", \"'-1 at 0x10\"), rows[2]\n"
        "assert rows[1]['message']=='Verify failed, \"really\"\\nat 0x10 — 校验失败', rows[1]\n"
        "assert rows[0]['result']=='pass' and rows[0]['duration_ms']=='0'\n"
        "assert rows[0]['operator']=='Badge 0042', rows[0]\n"
        "import re\n"
        R"(assert list(rows[0])[1:3]==['time','local_time'] and re.fullmatch(r'2026-12-0[678] \d\d:\d\d:00 [+-]\d\d:\d\d', rows[0]['local_time']), rows[0])"
        "\n"
        "for c in ['time','station','programmer','job','chip','result','message','serial','crc32','sha256','duration_ms']:\n"
        "    assert c in rows[0], c\n";
    const std::string scriptPath = (folder / "check.py").string();
    std::FILE* file = std::fopen(scriptPath.c_str(), "w");
    std::fputs(script.c_str(), file);
    std::fclose(file);
    EXPECT_EQ(std::system(("python3 " + scriptPath + " " + csv).c_str()), 0);
}

TEST_F(SqliteLogTest, ExportFiltersByJobAndTime)
{
    LogRecord other = record("a", "pass");
    other.job = "other";
    commit(other);
    LogRecord late = record("b", "pass");
    late.time = "2026-12-08T00:00:00.000Z";
    commit(late);
    commit(record("c", "pass"));
    EXPECT_EQ(log->records({"job", "", 0}).size(), 2u);
    EXPECT_EQ(log->records({"job", "2026-12-07T12:00:00Z", 0}).size(), 1u);
}

}  // namespace
