#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include "core/MessageCatalogue.h"
#include "production/CsvExport.h"
#include "production/LogSchema.h"
#include "production/ProductionLog.h"
#include "production/ProductionText.h"
#include "production/SerialRule.h"
#include "production/SqliteLog.h"

namespace {

// A log as an earlier version wrote it, and what it must hold once opened.
struct EarlierLog {
    const char* name;
    const char* script;  // under tests/production/fixtures
    std::vector<std::string> uids;
    int64_t interrupted;  // chips whose reservation outlived their program
    uint64_t nextSerial;
    const char* operatorName;
};

class LogMigration : public testing::TestWithParam<EarlierLog> {
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
                 ("belcor-migration-" + std::to_string(::getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // The log file the fixture's script makes.
    std::string made(const char* script, const std::string& extra = {})
    {
        std::ifstream in(std::filesystem::path(BELCOR_LOG_FIXTURES) / script);
        const std::string sql = std::string(std::istreambuf_iterator<char>(in), {}) + extra;
        EXPECT_FALSE(sql.empty()) << script;
        const std::string file = (folder / "log.sqlite").string();
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        char* failure = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &failure), SQLITE_OK) << (failure ? failure : "");
        sqlite3_free(failure);
        sqlite3_close(db);
        return file;
    }

    static std::string bytesOf(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path folder;
};

// Opened by this program, the log keeps every record, its counters and its
// serial state, takes new records, and opens again at the newest layout.
TEST_P(LogMigration, EveryRecordOfAnEarlierLayoutIsFound)
{
    const EarlierLog& earlier = GetParam();
    const std::string file = made(earlier.script);
    std::string error;
    std::unique_ptr<SqliteLog> log = SqliteLog::open(file, error);
    ASSERT_TRUE(log) << error;

    std::vector<std::string> uids;
    for (const LogRecord& record : log->records({}))
        uids.push_back(record.uid);
    EXPECT_EQ(uids, earlier.uids);
    const std::vector<LogRecord> records = log->records({});
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[0].serial, "100");
    EXPECT_EQ(records[0].crc32, "1A2B3C4D");
    EXPECT_EQ(records[0].operatorName, earlier.operatorName);
    EXPECT_EQ(records[1].message, "Verify failed at 0x10");

    const ProductionCounters counters = log->counters("job");
    EXPECT_EQ(counters.passed, 1);
    EXPECT_EQ(counters.failed, 1);
    EXPECT_EQ(counters.interrupted, earlier.interrupted);

    int64_t exported = 0;
    EXPECT_EQ(ExportCsv(*log, LogFilter{}, (folder / "log.csv").string(), exported), "");
    EXPECT_EQ(exported, static_cast<int64_t>(earlier.uids.size()));

    SerialRule rule;
    rule.first = 100;
    LogRecord chip;
    chip.uid = "after";
    chip.time = "2026-12-08T10:00:00.000Z";
    chip.job = "job";
    chip.jobHash = "hash";
    chip.serialSequence = "sequence";
    const Reservation reservation = log->reserve(chip, &rule);
    ASSERT_EQ(reservation.outcome, Reservation::Outcome::Reserved) << reservation.error;
    EXPECT_EQ(reservation.serial, earlier.nextSerial);
    chip.result = ChipResult::Pass;
    chip.operatorName = "Bo";
    ASSERT_TRUE(log->commit(chip, std::nullopt, error)) << error;

    log = SqliteLog::open(file, error);
    ASSERT_TRUE(log) << error;
    EXPECT_EQ(log->records({}).size(), earlier.uids.size() + 1);
    EXPECT_EQ(log->records({}).back().operatorName, "Bo");
    EXPECT_EQ(log->counters("job").passed, 2);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(LogSchema::version(db, error), LogSchema::newest());
    sqlite3_close(db);
}

const std::vector<std::string> Finished = {"fixture-1", "fixture-2"};
const std::vector<std::string> WithInterrupted = {"fixture-1", "fixture-2", "fixture-3"};

INSTANTIATE_TEST_SUITE_P(
    LandedLayouts, LogMigration,
    testing::Values(EarlierLog{"Core", "log-0-core.sql", Finished, 0, 102, ""},
                    EarlierLog{"Reservations", "log-1-reservations.sql", WithInterrupted, 1, 103, ""},
                    EarlierLog{"ReservationJedecId", "log-2-reservation_jedec_id.sql", WithInterrupted, 1, 103, ""},
                    EarlierLog{"Leases", "log-3-leases.sql", WithInterrupted, 1, 103, ""},
                    EarlierLog{"Operator", "log-4-operator.sql", WithInterrupted, 1, 103, "Ann"},
                    EarlierLog{"JobChanges", "log-5-job_changes.sql", WithInterrupted, 1, 103, "Ann"},
                    EarlierLog{"SerialSequences", "log-6-serial_sequences.sql", WithInterrupted, 1, 103, "Ann"},
                    EarlierLog{"Versioned", "log-7-versioned.sql", WithInterrupted, 1, 103, "Ann"}),
    [](const testing::TestParamInfo<EarlierLog>& info) { return std::string(info.param.name); });

// A log of a layout newer than this program knows is refused in the user's
// language and left byte for byte as it was.
TEST_F(LogMigration, NewerLayoutIsRefusedAndLeftUntouched)
{
    const std::string newer = std::to_string(LogSchema::newest() + 1);
    const std::string file = made("log-6-serial_sequences.sql", "PRAGMA user_version = " + newer + ";");
    const std::string before = bytesOf(file);
    std::string error;
    EXPECT_FALSE(SqliteLog::open(file, error, TraditionalChinese));
    EXPECT_EQ(error, ProductionText(Msg::LogSchemaTooNew, TraditionalChinese,
                                    {file, newer, std::to_string(LogSchema::newest())}));
    EXPECT_FALSE(ProductionLog::open({file}, error, SimplifiedChinese));
    EXPECT_EQ(error, ProductionText(Msg::LogSchemaTooNew, SimplifiedChinese,
                                    {file, newer, std::to_string(LogSchema::newest())}));
    EXPECT_EQ(bytesOf(file), before);
    EXPECT_FALSE(std::filesystem::exists(file + "-wal"));
}

}  // namespace
