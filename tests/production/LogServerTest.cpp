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
#include "production/SerialLease.h"
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
        made.result = ChipResult::Pass;
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
    const std::string summary = LineServerText(status, English);
    EXPECT_NE(summary.find("refused 1 records"), std::string::npos);
    EXPECT_EQ(summary.find("every record is stored"), std::string::npos) << summary;
    EXPECT_EQ(log->local().unforwardedCount(), 0);
}

// A right revoked for a few seconds is the server's fault, not the record's:
// the record was set aside for good and never sent again.
TEST_F(LogServerTest, RevokedInsertPassesAndTheRecordGoesOnceGrantedAgain)
{
    ASSERT_EQ(server.query("CREATE ROLE station LOGIN; GRANT CREATE ON SCHEMA public TO station"), "");
    const std::unique_ptr<ProductionLog> log = openLog(server.url("station"));
    commit(*log, record(1));
    ASSERT_TRUE(log->forwarder()->drain(10000)) << log->forwarder()->status().error;

    ASSERT_EQ(server.query("REVOKE INSERT ON belcor_production_log FROM station"), "");
    commit(*log, record(2));
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (log->forwarder()->status().error.find("permission denied") == std::string::npos && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_NE(log->forwarder()->status().error.find("permission denied"), std::string::npos);
    ASSERT_EQ(server.query("GRANT INSERT ON belcor_production_log TO station"), "");
    commit(*log, record(3));
    ASSERT_TRUE(log->forwarder()->drain(10000)) << log->forwarder()->status().error;

    EXPECT_EQ(serverSerials(), "1,2,3\n");
    EXPECT_EQ(log->forwarder()->status().setAside.count, 0);
}

// Serial numbers a station takes for `chips` chips of a job (rule
// 0:4:le:1000) whose file has hash `hash` and serial sequence `sequence`,
// with the line server at `address` or without one; `stopped` gets the
// outcome that ended them early.
std::vector<std::string> issue(const std::filesystem::path& logFile, const std::string& address,
                               const std::string& hash, const std::string& sequence, int chips,
                               Reservation::Outcome* stopped = nullptr)
{
    std::string error;
    const std::optional<SerialRule> rule = ParseSerialRule("0:4:le:1000", error);
    std::vector<std::string> targets{logFile.string()};
    if (!address.empty())
        targets.push_back(address);
    const std::unique_ptr<ProductionLog> log = ProductionLog::open(targets, error);
    EXPECT_TRUE(log && rule) << error;
    std::vector<std::string> serials;
    for (int chip = 0; log && chip < chips; ++chip) {
        LogRecord made;
        static int chipsMade = 0;
        made.uid = logFile.stem().string() + "-" + std::to_string(++chipsMade);
        made.time = "2026-12-07T10:00:00.000Z";
        made.job = "job";
        made.jobHash = hash;
        made.serialSequence = sequence;
        const Reservation reservation = log->reserve(made, &*rule);
        if (reservation.outcome != Reservation::Outcome::Reserved) {
            if (stopped)
                *stopped = reservation.outcome;
            break;
        }
        made.result = ChipResult::Pass;
        made.serialStatus = "used";
        EXPECT_TRUE(log->commit(made, std::nullopt, error)) << error;
        serials.push_back(made.serial);
    }
    if (log && log->forwarder()) {
        EXPECT_TRUE(log->forwarder()->drain(15000)) << log->forwarder()->status().error;
    }
    return serials;
}

size_t distinctCount(const std::vector<std::vector<std::string>>& lists, size_t& total)
{
    std::set<std::string> distinct;
    total = 0;
    for (const std::vector<std::string>& list : lists) {
        distinct.insert(list.begin(), list.end());
        total += list.size();
    }
    return distinct.size();
}

// Station 1 made 1000-1019; the job's note and target were edited (or it was
// copied with CRLF line ends), which changed its file's hash, and station 2
// made 1000-1019 again: leases and the server's index went by that hash.
TEST_F(LogServerTest, EditedJobGoesOnWithItsSerialSequence)
{
    const std::vector<std::string> first = issue(folder / "a.sqlite", server.url(), "hashA", "sequence", 20);
    const std::vector<std::string> second = issue(folder / "b.sqlite", server.url(), "hashB", "sequence", 20);
    // A job file from before jobs carried a sequence leased under its hash;
    // the sequence it has now goes on past that.
    const std::vector<std::string> legacy = issue(folder / "c.sqlite", server.url(), "old", "", 5);
    const std::vector<std::string> upgraded = issue(folder / "d.sqlite", server.url(), "old", "derived", 5);
    size_t total = 0;
    EXPECT_EQ(distinctCount({first, second}, total), 40u);
    EXPECT_EQ(distinctCount({legacy, upgraded}, total), 10u);
    EXPECT_EQ(total, 10u);

    LogRecord doubled = record(1);
    doubled.uid = "elsewhere";
    doubled.jobHash = "hashC";
    doubled.serialSequence = "sequence";
    doubled.serial = first[0];
    doubled.serialStatus = "used";
    std::optional<size_t> rejected;
    const PostgresSession::Reply reply = PostgresLog(server.url()).store({doubled}, rejected);
    EXPECT_EQ(reply.sqlState, "23505") << reply.message;
}

// Offline, the station took its local next value, which the server had
// leased to others, and back online it issued its old lease again.
TEST_F(LogServerTest, OfflineRunTakesOnlyWhatItLeasedBefore)
{
    const std::filesystem::path station = folder / "a.sqlite";
    const std::vector<std::string> online = issue(station, server.url(), "hash", "sequence", 3);
    Reservation::Outcome stopped = Reservation::Outcome::Reserved;
    const std::vector<std::string> offline = issue(station, "", "hash", "sequence", 50, &stopped);
    EXPECT_EQ(stopped, Reservation::Outcome::LeaseUnreachable);
    EXPECT_EQ(online.size() + offline.size(), SerialLease::BlockSize);
    const std::vector<std::string> other = issue(folder / "b.sqlite", server.url(), "hash", "sequence", 5);
    const std::vector<std::string> again = issue(station, server.url(), "hash", "sequence", 3);
    size_t total = 0;
    EXPECT_EQ(distinctCount({online, offline, other, again}, total), total);
    EXPECT_EQ(server.query("SELECT count(*), count(DISTINCT serial) FROM belcor_production_log"),
              std::to_string(total) + "|" + std::to_string(total) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    LogServer, LogServerRefusals,
    testing::Values(Refusal{"Constraint", "belcor",
                            "ALTER TABLE belcor_production_log ADD CONSTRAINT odd CHECK (serial <> '2') NOT VALID",
                            nullptr, "violates check constraint"}),
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
