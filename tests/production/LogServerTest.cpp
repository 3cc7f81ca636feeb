#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "core/MessageCatalogue.h"
#include "production/LineServerText.h"
#include "production/PostgresLog.h"
#include "production/ProductionLog.h"
#include "production/SerialRule.h"
#include "support/PostgresServer.h"

namespace {

using Clock = std::chrono::steady_clock;

class LogServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!PostgresServer::available())
            GTEST_SKIP() << PostgresServer::missingMessage();
        folder = std::filesystem::temp_directory_path() /
                 ("belcor-logserver-" + std::to_string(::getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(server.start()) << server.error();
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    LogRecord record(int number)
    {
        LogRecord made;
        made.uid = "station-" + std::to_string(number);
        made.time = "2026-12-07T10:00:00.000Z";
        made.job = "job";
        made.result = "pass";
        made.serial = std::to_string(number);
        return made;
    }

    std::unique_ptr<ProductionLog> openLog(const std::string& address)
    {
        std::string error;
        std::unique_ptr<ProductionLog> log = ProductionLog::open({(folder / "log.sqlite").string(), address}, error);
        EXPECT_TRUE(log) << error;
        return log;
    }

    void commit(ProductionLog& log, LogRecord made)
    {
        std::string error;
        ASSERT_TRUE(log.commit(made, std::nullopt, error)) << error;
    }

    std::string serverSerials() const
    {
        return server.query("SELECT string_agg(serial, ',' ORDER BY seq) FROM belcor_production_log");
    }

    PostgresServer server;
    std::filesystem::path folder;
};

TEST_F(LogServerTest, OutageQueuesRecordsAndForwardsThemInOrderOnce)
{
    const std::unique_ptr<ProductionLog> log = openLog(server.url());
    for (int number = 1; number <= 3; ++number)
        commit(*log, record(number));
    ASSERT_TRUE(log->forwarder()->drain(10000)) << log->forwarder()->status().error;

    ASSERT_TRUE(server.stop()) << server.error();
    for (int number = 4; number <= 6; ++number)
        commit(*log, record(number));
    EXPECT_FALSE(log->forwarder()->drain(1500));
    EXPECT_EQ(log->forwarder()->status().waiting, 3);
    EXPECT_FALSE(log->forwarder()->status().reachable);

    ASSERT_TRUE(server.start()) << server.error();
    EXPECT_TRUE(log->forwarder()->drain(15000)) << log->forwarder()->status().error;
    EXPECT_EQ(serverSerials(), "1,2,3,4,5,6\n");
}

TEST_F(LogServerTest, RecordSentTwiceIsStoredOnce)
{
    PostgresLog sink(server.url());
    std::optional<size_t> rejected;
    ASSERT_TRUE(sink.store({record(1), record(2)}, rejected).ok());
    ASSERT_TRUE(sink.store({record(2), record(3)}, rejected).ok());
    EXPECT_EQ(server.query("SELECT count(*) FROM belcor_production_log"), "3\n");
}

// Names from file names or USB strings may be Latin-1; the server takes
// them as UTF-8 and the records after them go too.
TEST_F(LogServerTest, TextsReachTheServerAsUtf8)
{
    const std::unique_ptr<ProductionLog> log = openLog(server.url());
    LogRecord latin1 = record(1);
    latin1.job = "caf\xE9";
    latin1.programmer = "BU2\xFF";
    commit(*log, latin1);
    commit(*log, record(2));
    ASSERT_TRUE(log->forwarder()->drain(10000)) << log->forwarder()->status().error;
    EXPECT_EQ(server.query("SELECT job || '|' || programmer FROM belcor_production_log WHERE serial = '1'"),
              "café|BU2ÿ\n");
    EXPECT_EQ(serverSerials(), "1,2\n");
}

// What a server can do to a station that is ending its run or changing its
// server, and how to stop doing it.
struct ServerFault {
    const char* name;
    bool (*apply)(PostgresServer&);
    bool (*lift)(PostgresServer&);
};

class LogServerFaults : public LogServerTest, public testing::WithParamInterface<ServerFault> {};

// The station waits for the last records as the command line does at the end
// of a batch, then lets go of the server; neither may take more than 5 s, and
// what did not go waits in the station's log for the next run.
TEST_P(LogServerFaults, EndingTheLogWaitsAtMostFiveSecondsAndKeepsWhatDidNotGo)
{
    std::unique_ptr<ProductionLog> log = openLog(server.url());
    commit(*log, record(1));
    ASSERT_TRUE(log->forwarder()->drain(10000)) << log->forwarder()->status().error;

    ASSERT_TRUE(GetParam().apply(server)) << server.error();
    for (int number = 2; number <= 4; ++number)
        commit(*log, record(number));
    const auto start = Clock::now();
    EXPECT_FALSE(log->forwarder()->drain(3000));
    const LogForwarder::Status status = log->forwarder()->status();
    log.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));

    EXPECT_EQ(status.waiting, 3);
    EXPECT_NE(LineServerText(status, English).find("3 records"), std::string::npos);
    for (const int language : {SimplifiedChinese, TraditionalChinese, English}) {
        const std::string text = LineServerText(status, language);
        EXPECT_EQ(text.find_first_of("\n()"), std::string::npos) << text;
    }

    ASSERT_TRUE(GetParam().lift(server)) << server.error();
    log = openLog(server.url());
    EXPECT_TRUE(log->forwarder()->drain(15000)) << log->forwarder()->status().error;
    EXPECT_EQ(serverSerials(), "1,2,3,4\n");
}

INSTANTIATE_TEST_SUITE_P(
    LogServer, LogServerFaults,
    testing::Values(ServerFault{"Stopped", [](PostgresServer& s) { return s.stop(); },
                                [](PostgresServer& s) { return s.start(); }},
                    ServerFault{"Frozen", [](PostgresServer& s) { return s.freeze(); },
                                [](PostgresServer& s) { return s.thaw(); }},
                    ServerFault{"TableLocked",
                                [](PostgresServer& s) { return s.lockTable("belcor_production_log"); },
                                [](PostgresServer& s) {
                                    s.releaseTable();
                                    return true;
                                }}),
    [](const testing::TestParamInfo<ServerFault>& info) { return std::string(info.param.name); });

// A way for the server to refuse the second record for a fault of its own.
struct Refusal {
    const char* name;
    const char* user;     // the station's role on the server
    const char* refuse;   // run by the server's owner after the first record
    const char* allow;    // and after the second, if any
    const char* reason;   // in the server's words
};

class LogServerRefusals : public LogServerTest, public testing::WithParamInterface<Refusal> {};

TEST_P(LogServerRefusals, RefusedRecordIsSetAsideWithItsReasonAndTheNextOnesGo)
{
    ASSERT_EQ(server.query("CREATE ROLE station LOGIN; GRANT CREATE ON SCHEMA public TO station"), "");
    const std::unique_ptr<ProductionLog> log = openLog(server.url(GetParam().user));
    commit(*log, record(1));
    ASSERT_TRUE(log->forwarder()->drain(10000)) << log->forwarder()->status().error;

    ASSERT_EQ(server.query(GetParam().refuse), "");
    commit(*log, record(2));
    ASSERT_TRUE(log->forwarder()->drain(10000)) << log->forwarder()->status().error;
    if (GetParam().allow) {
        ASSERT_EQ(server.query(GetParam().allow), "");
    }
    commit(*log, record(3));
    ASSERT_TRUE(log->forwarder()->drain(10000)) << log->forwarder()->status().error;

    EXPECT_EQ(serverSerials(), "1,3\n");
    const LogForwarder::Status status = log->forwarder()->status();
    EXPECT_EQ(status.setAside.count, 1);
    EXPECT_NE(status.setAside.lastReason.find(GetParam().reason), std::string::npos) << status.setAside.lastReason;
    EXPECT_NE(LineServerText(status, English).find("refused 1 records"), std::string::npos);
    EXPECT_EQ(log->local().unforwardedCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    LogServer, LogServerRefusals,
    testing::Values(Refusal{"Constraint", "belcor",
                            "ALTER TABLE belcor_production_log ADD CONSTRAINT odd CHECK (serial <> '2') NOT VALID",
                            nullptr, "violates check constraint"},
                    Refusal{"RevokedInsert", "station", "REVOKE INSERT ON belcor_production_log FROM station",
                            "GRANT INSERT ON belcor_production_log TO station", "permission denied"}),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

// Two stations of one line run the same job at once, each with its own
// station log; a third starts later with a new log. No serial is issued twice,
// and the server would refuse a doubled one from anywhere.
TEST_F(LogServerTest, StationsOnOneServerNeverIssueTheSameSerial)
{
    std::string error;
    const std::optional<SerialRule> rule = ParseSerialRule("0:4:le:1000", error);
    ASSERT_TRUE(rule) << error;
    const auto station = [&](const std::string& name, int chips, std::vector<std::string>& serials) {
        std::string failure;
        const std::unique_ptr<ProductionLog> log =
            ProductionLog::open({(folder / (name + ".sqlite")).string(), server.url()}, failure);
        ASSERT_TRUE(log) << failure;
        for (int chip = 0; chip < chips; ++chip) {
            LogRecord made = record(chip);
            made.uid = name + "-" + std::to_string(chip);
            made.station = name;
            made.jobHash = "hash";
            const Reservation reservation = log->reserve(made, &*rule);
            ASSERT_EQ(reservation.outcome, Reservation::Outcome::Reserved) << reservation.error;
            made.serialStatus = "used";
            ASSERT_TRUE(log->commit(made, std::nullopt, failure)) << failure;
            serials.push_back(made.serial);
        }
        ASSERT_TRUE(log->forwarder()->drain(15000)) << log->forwarder()->status().error;
    };
    std::vector<std::string> first;
    std::vector<std::string> second;
    std::thread other([&] { station("a", 40, first); });
    station("b", 40, second);
    other.join();
    std::vector<std::string> third;
    station("c", 1, third);

    std::set<std::string> distinct(first.begin(), first.end());
    distinct.insert(second.begin(), second.end());
    ASSERT_EQ(distinct.size(), 80u);
    ASSERT_EQ(third.size(), 1u);
    EXPECT_GT(std::stoull(third[0]), std::stoull(*distinct.rbegin()));
    EXPECT_EQ(server.query("SELECT count(*), count(DISTINCT serial) FROM belcor_production_log"), "81|81\n");

    LogRecord doubled = record(1);
    doubled.uid = "elsewhere";
    doubled.jobHash = "hash";
    doubled.serial = first[0];
    doubled.serialStatus = "used";
    std::optional<size_t> rejected;
    const PostgresSession::Reply reply = PostgresLog(server.url()).store({doubled}, rejected);
    EXPECT_EQ(reply.sqlState, "23505") << reply.message;
    EXPECT_EQ(rejected, 0u);
}

}  // namespace
