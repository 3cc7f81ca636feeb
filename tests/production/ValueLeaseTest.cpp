#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "buffers/Checksums.h"
#include "core/MessageCatalogue.h"
#include "production/JobValues.h"
#include "production/ProductionJob.h"
#include "production/ProductionLog.h"
#include "support/PostgresServer.h"

namespace {

constexpr int SourceSize = 40;

// One value source of each kind, SourceSize values long.
struct SourceCase {
    const char* name;
    ValueKind kind;
};

class ValueLeaseTest : public testing::TestWithParam<SourceCase> {
protected:
    void SetUp() override
    {
        if (!PostgresServer::available())
            GTEST_SKIP() << PostgresServer::missingMessage();
        folder = std::filesystem::temp_directory_path() /
                 ("belcor-valuelease-" + std::to_string(::getpid()) + "-" +
                  std::to_string(testing::UnitTest::GetInstance()->random_seed()) + "-" + GetParam().name);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "files");
        ASSERT_TRUE(server.start()) << server.error();
        ValueField field;
        field.kind = GetParam().kind;
        if (field.kind == ValueKind::List) {
            std::string text;
            for (int line = 1; line <= SourceSize; ++line)
                text += std::to_string(1000 + line) + "\n";
            std::ofstream((folder / "list.txt").string()) << text;
            field.path = (folder / "list.txt").string();
            field.form = ValueForm::Dec;
            field.sha256 = Sha256Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        } else if (field.kind == ValueKind::Mac) {
            field.first = 0x02005E100000ull;
            field.last = field.first + SourceSize - 1;
        } else {
            for (int file = 1; file <= SourceSize; ++file)
                std::ofstream((folder / "files" / ("key" + std::to_string(100 + file))).string()) << "k" << file;
            field.path = (folder / "files").string();
        }
        job.name = "job";
        job.values = {field};
        std::string error;
        values = JobValues::load(job, "", {}, 0, 0x10000, English, error);
        ASSERT_TRUE(values) << error;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::unique_ptr<ProductionLog> openLog(const std::string& name)
    {
        std::string error;
        std::unique_ptr<ProductionLog> log = ProductionLog::open({(folder / name).string(), server.url()}, error);
        EXPECT_TRUE(log) << error;
        return log;
    }

    // The value one chip takes, its record committed with `status`; empty
    // when no chip may start (`outcome` says why).
    std::string chip(ProductionLog& log, const std::string& status, Reservation::Outcome* outcome = nullptr)
    {
        LogRecord made;
        made.uid = "chip-" + std::to_string(++chips);
        made.time = "2026-12-08T10:00:00.000Z";
        made.job = job.name;
        made.jobHash = "hash";
        made.serialSequence = "sequence";
        const Reservation reservation = log.reserve(made, nullptr, &*values);
        if (outcome)
            *outcome = reservation.outcome;
        if (reservation.outcome != Reservation::Outcome::Reserved)
            return {};
        made.result = status == "returned" ? ChipResult::Fail : ChipResult::Pass;
        made.valuesStatus = status;
        std::string error;
        EXPECT_TRUE(log.commit(made, std::nullopt, error)) << error;
        return made.values;
    }

    PostgresServer server;
    std::filesystem::path folder;
    ProductionJob job;
    std::optional<JobValues> values;
    int chips = 0;
};

// Two stations take turns by uneven runs, so that each leases while the
// other holds blocks; every fifth chip of station A fails and gives its
// value back, which only A's next chip takes.
TEST_P(ValueLeaseTest, StationsNeverShareAValueAndAGivenBackValueStaysLocal)
{
    const std::unique_ptr<ProductionLog> a = openLog("a.sqlite");
    const std::unique_ptr<ProductionLog> b = openLog("b.sqlite");
    std::map<std::string, int> burned;  // value: chips that carry it
    std::string returned;
    for (int round = 0; round < 6; ++round) {
        for (int turn = 0; turn < 3; ++turn) {
            const std::string status = (round * 3 + turn) % 5 == 4 ? "returned" : "used";
            const std::string taken = chip(*a, status);
            ASSERT_FALSE(taken.empty());
            if (!returned.empty()) {
                EXPECT_EQ(taken, returned);
            }
            returned = status == "returned" ? taken : std::string();
            if (status == "used")
                ++burned[taken];
        }
        for (int turn = 0; turn < 2 + round % 3; ++turn) {
            const std::string taken = chip(*b, "used");
            ASSERT_FALSE(taken.empty());
            ++burned[taken];
        }
    }
    // Drained, the stations have issued every value of the source once.
    Reservation::Outcome outcome = Reservation::Outcome::Reserved;
    for (ProductionLog* station : {a.get(), b.get()}) {
        for (std::string taken; !(taken = chip(*station, "used", &outcome)).empty();)
            ++burned[taken];
        EXPECT_EQ(outcome, Reservation::Outcome::ValuesUsedUp);
    }
    EXPECT_EQ(burned.size(), static_cast<size_t>(SourceSize));
    for (const auto& [value, count] : burned)
        EXPECT_EQ(count, 1) << value;
    // The line's records name them too.
    for (ProductionLog* station : {a.get(), b.get()})
        ASSERT_TRUE(station->forwarder()->drain(15000)) << station->forwarder()->status().error;
    EXPECT_EQ(server.query("SELECT count(DISTINCT job_values) FROM belcor_production_log WHERE values_status = 'used'"),
              std::to_string(SourceSize) + "\n");
}

TEST_P(ValueLeaseTest, NoChipStartsWithoutTheServersAnswer)
{
    const std::unique_ptr<ProductionLog> log = openLog("a.sqlite");
    ASSERT_TRUE(server.stop()) << server.error();
    Reservation::Outcome outcome = Reservation::Outcome::Reserved;
    EXPECT_EQ(chip(*log, "used", &outcome), "");
    EXPECT_EQ(outcome, Reservation::Outcome::ValueLeaseFailed);

    // Leased before, the field takes only what its log holds, even with no
    // server given: its own next value could be another station's.
    ASSERT_TRUE(server.start()) << server.error();
    EXPECT_NE(chip(*log, "used"), "");
    std::string error;
    const std::unique_ptr<ProductionLog> offline = ProductionLog::open({(folder / "a.sqlite").string()}, error);
    ASSERT_TRUE(offline) << error;
    int left = 0;
    while (!chip(*offline, "used", &outcome).empty())
        ++left;
    EXPECT_EQ(left, static_cast<int>(ValueLease::BlockSize) - 1);
    EXPECT_EQ(outcome, Reservation::Outcome::ValueLeaseFailed);
}

INSTANTIATE_TEST_SUITE_P(Sources, ValueLeaseTest,
                         testing::Values(SourceCase{"List", ValueKind::List}, SourceCase{"MacRange", ValueKind::Mac},
                                         SourceCase{"Folder", ValueKind::Files}),
                         [](const testing::TestParamInfo<SourceCase>& info) { return std::string(info.param.name); });

}  // namespace
