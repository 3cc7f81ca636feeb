#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "production/PostgresLog.h"
#include "production/SqliteLog.h"
#include "support/PostgresServer.h"

namespace {

struct Chip {
    const char* uid;
    const char* time;
    const char* job;
    const char* serial;
    const char* crc32;
};

// Stored in the order of their times; the letters tell them apart.
const Chip Chips[] = {
    {"a", "2026-12-07T08:00:00.000Z", "line", "0041", "1A2B3C4D"},
    {"b", "2026-12-07T09:00:00.000Z", "line", "0042", "0000ABCD"},
    {"d", "2026-12-07T09:30:00.000Z", "other", "0042", "1A2B3C4D"},
    {"c", "2026-12-07T10:00:00.000Z", "line", "", "1A2B3C4D"},
};

struct Lookup {
    const char* name;
    LogFilter filter;
    std::vector<std::string> uids;  // oldest first
};

const Lookup Lookups[] = {
    {"Serial", LogFilter{.serial = "0042"}, {"b", "d"}},
    {"SerialNobodyHas", LogFilter{.serial = "9999"}, {}},
    {"Crc", LogFilter{.crc32 = "1A2B3C4D"}, {"a", "d", "c"}},
    {"CrcWithLeadingZeros", LogFilter{.crc32 = "0000ABCD"}, {"b"}},
    {"Job", LogFilter{.job = "line"}, {"a", "b", "c"}},
    {"JobSince", LogFilter{.job = "line", .since = "2026-12-07T09:00:00.000Z"}, {"b", "c"}},
    {"SerialOfAJob", LogFilter{.job = "other", .serial = "0042"}, {"d"}},
};

LogRecord recordOf(const Chip& chip)
{
    LogRecord record;
    record.uid = chip.uid;
    record.time = chip.time;
    record.station = "station";
    record.job = chip.job;
    // Serials are unique within a job only.
    record.jobHash = chip.job;
    record.result = ChipResult::Pass;
    record.serial = chip.serial;
    record.crc32 = chip.crc32;
    return record;
}

std::vector<std::string> uidsOf(const std::vector<LogRecord>& records)
{
    std::vector<std::string> uids;
    for (const LogRecord& record : records)
        uids.push_back(record.uid);
    return uids;
}

class LogLookup : public testing::Test {
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
                 ("belcor-lookup-" + std::to_string(::getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
};

TEST_F(LogLookup, StationLogFindsBySerialCrcAndJobSinceATime)
{
    std::string error;
    const std::unique_ptr<SqliteLog> log = SqliteLog::open((folder / "log.sqlite").string(), error);
    ASSERT_TRUE(log) << error;
    for (const Chip& chip : Chips) {
        LogRecord record = recordOf(chip);
        ASSERT_TRUE(log->commit(record, std::nullopt, error)) << error;
    }
    for (const Lookup& lookup : Lookups)
        EXPECT_EQ(uidsOf(log->records(lookup.filter)), lookup.uids) << lookup.name;
}

// The line server answers the same lookups over every station's records,
// oldest first by time.
TEST_F(LogLookup, LineServerFindsBySerialCrcAndJobSinceATime)
{
    if (!PostgresServer::available())
        GTEST_SKIP() << PostgresServer::missingMessage();
    PostgresServer server;
    ASSERT_TRUE(server.start()) << server.error();
    PostgresLog line(server.url());
    std::vector<LogRecord> records;
    for (const Chip& chip : Chips)
        records.push_back(recordOf(chip));
    std::optional<size_t> rejected;
    const PostgresSession::Reply stored = line.store(records, rejected);
    ASSERT_TRUE(stored.ok()) << stored.message;
    for (const Lookup& lookup : Lookups) {
        std::vector<LogRecord> found;
        const PostgresSession::Reply reply = line.find(lookup.filter, found);
        ASSERT_TRUE(reply.ok()) << reply.message;
        EXPECT_EQ(uidsOf(found), lookup.uids) << lookup.name;
    }
    std::vector<LogRecord> found;
    ASSERT_TRUE(line.find(LogFilter{.serial = "0041"}, found).ok());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].time, "2026-12-07T08:00:00.000Z");
    EXPECT_EQ(found[0].crc32, "1A2B3C4D");
}

}  // namespace
