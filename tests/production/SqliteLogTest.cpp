#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

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
        made.result = result;
        made.message = message;
        made.cycleMs = 1000;
        return made;
    }
    void commit(LogRecord made, std::optional<uint64_t> returned = std::nullopt)
    {
        std::string error;
        ASSERT_TRUE(log->commit(made, returned, error)) << error;
    }

    std::filesystem::path folder;
    std::unique_ptr<SqliteLog> log;
};

// A log from before records named their operator keeps its records and
// takes the new ones with their operator.
TEST_F(SqliteLogTest, ALogWithoutTheOperatorColumnGainsIt)
{
    commit(record("old", "pass"));
    log.reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "log.sqlite").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "ALTER TABLE records DROP COLUMN operator", nullptr, nullptr, nullptr), SQLITE_OK);
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

TEST_F(SqliteLogTest, CountersSurviveARestartAndResetOnlyOnRequest)
{
    commit(record("a", "pass"));
    commit(record("b", "pass"));
    commit(record("c", "fail", "Verify failed at address 10."));
    log = open();
    ProductionCounters counters = log->counters("job");
    EXPECT_EQ(counters.passed, 2);
    EXPECT_EQ(counters.failed, 1);
    EXPECT_EQ(counters.averageCycleMs(), 1000);
    EXPECT_DOUBLE_EQ(*counters.chipsPerHour(), 3600.0);
    EXPECT_EQ(counters.timeLeftMs(10), 7000);
    std::string error;
    ASSERT_TRUE(log->resetCounters("job", error));
    EXPECT_EQ(log->counters("job").total(), 0);
    EXPECT_EQ(log->records({}).size(), 3u);
}

TEST_F(SqliteLogTest, SameRecordIsNeverStoredTwice)
{
    commit(record("a", "pass"));
    LogRecord again = record("a", "pass");
    std::string error;
    EXPECT_FALSE(log->commit(again, std::nullopt, error));
    EXPECT_EQ(log->records({}).size(), 1u);
    EXPECT_EQ(log->counters("job").passed, 1);
}

TEST_F(SqliteLogTest, ReservedSerialsAreNeverHandedOutTwiceAcrossRestarts)
{
    SerialRule rule;
    rule.first = 100;
    rule.step = 5;
    std::string error;
    EXPECT_EQ(log->reserve("job", &rule, error)->value, 100u);
    // A crash after the reservation: the value is gone, not handed out again.
    log = open();
    EXPECT_EQ(log->reserve("job", &rule, error)->value, 105u);
    EXPECT_EQ(log->peekSerial("job", rule), 110u);
}

TEST_F(SqliteLogTest, ReturnedSerialGoesToTheNextChip)
{
    SerialRule rule;
    std::string error;
    const uint64_t failedChip = log->reserve("job", &rule, error)->value;
    commit(record("a", "fail"), failedChip);
    EXPECT_EQ(log->reserve("job", &rule, error)->value, failedChip);
    EXPECT_EQ(log->reserve("job", &rule, error)->value, failedChip + 1);
}

TEST_F(SqliteLogTest, CsvExportReadsBackInPythonsCsvModule)
{
    commit(record("a", "pass"));
    commit(record("b", "fail", "Verify failed, \"really\"\nat 0x10 — 校验失败"));
    int64_t count = 0;
    const std::string csv = (folder / "log.csv").string();
    ASSERT_EQ(ExportCsv(*log, {}, csv, count), "");
    EXPECT_EQ(count, 2);
    const std::string script =
        "import csv,sys\n"
        "rows=list(csv.DictReader(open(sys.argv[1],encoding='utf-8-sig',newline='')))\n"
        "assert len(rows)==2, rows\n"
        "assert rows[1]['message']=='Verify failed, \"really\"\\nat 0x10 — 校验失败', rows[1]\n"
        "assert rows[0]['result']=='pass' and rows[0]['duration_ms']=='0'\n"
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
