#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "production/PostgresLog.h"
#include "production/ProductionLog.h"
#include "support/PostgresServer.h"

namespace {

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

    PostgresServer server;
    std::filesystem::path folder;
};

TEST_F(LogServerTest, OutageQueuesRecordsAndForwardsThemInOrderOnce)
{
    std::string error;
    const std::unique_ptr<ProductionLog> log =
        ProductionLog::open({(folder / "log.sqlite").string(), server.url()}, error);
    ASSERT_TRUE(log) << error;
    for (int number = 1; number <= 3; ++number) {
        LogRecord made = record(number);
        ASSERT_TRUE(log->commit(made, std::nullopt, error)) << error;
    }
    ASSERT_TRUE(log->forwarder()->drain(10000)) << log->forwarder()->status().error;

    ASSERT_TRUE(server.stop()) << server.error();
    for (int number = 4; number <= 6; ++number) {
        LogRecord made = record(number);
        ASSERT_TRUE(log->commit(made, std::nullopt, error)) << error;
    }
    EXPECT_FALSE(log->forwarder()->drain(1500));
    EXPECT_EQ(log->forwarder()->status().waiting, 3);
    EXPECT_FALSE(log->forwarder()->status().reachable);

    ASSERT_TRUE(server.start()) << server.error();
    EXPECT_TRUE(log->forwarder()->drain(15000)) << log->forwarder()->status().error;
    EXPECT_EQ(server.query("SELECT string_agg(serial, ',' ORDER BY seq) FROM belcor_production_log"),
              "1,2,3,4,5,6\n");
}

TEST_F(LogServerTest, RecordSentTwiceIsStoredOnce)
{
    PostgresLog sink(server.url());
    std::string error;
    ASSERT_TRUE(sink.store({record(1), record(2)}, error)) << error;
    ASSERT_TRUE(sink.store({record(2), record(3)}, error)) << error;
    EXPECT_EQ(server.query("SELECT count(*) FROM belcor_production_log"), "3\n");
}

}  // namespace
