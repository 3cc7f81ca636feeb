#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "station/EventRing.h"

namespace {

using namespace std::chrono_literals;

std::vector<uint64_t> idsOf(const EventRing::Batch& batch)
{
    std::vector<uint64_t> ids;
    for (const StationEvent& event : batch.events)
        ids.push_back(event.id);
    return ids;
}

TEST(EventRing, ResumesAfterAnIdAndCountsWhatLeftTheRing)
{
    EventRing ring(4, 100);
    for (int i = 0; i < 6; ++i)
        ring.publish("state", "{}");
    // 100..105 published, 102..105 kept.
    EXPECT_EQ(idsOf(ring.after(102, 10)), (std::vector<uint64_t>{103, 104, 105}));
    const EventRing::Batch behind = ring.after(100, 10);
    EXPECT_EQ(idsOf(behind), (std::vector<uint64_t>{102, 103, 104, 105}));
    EXPECT_EQ(behind.lost, 1u);
    EXPECT_FALSE(behind.restarted);
    EXPECT_EQ(idsOf(ring.after(103, 1)), (std::vector<uint64_t>{104}));
    EXPECT_TRUE(ring.after(105, 10).events.empty());
}

TEST(EventRing, AnIdFromAnEarlierRunGetsWhatIsKeptAndLearnsItRestarted)
{
    EventRing ring(2, 1000);
    for (int i = 0; i < 3; ++i)
        ring.publish("state", "{}");
    const EventRing::Batch batch = ring.after(17, 10);
    EXPECT_TRUE(batch.restarted);
    EXPECT_EQ(batch.lost, 1u);
    EXPECT_EQ(idsOf(batch), (std::vector<uint64_t>{1001, 1002}));
}

TEST(EventRing, AWaitingReaderWakesForAnEventAndForTheClose)
{
    EventRing ring(8, 1);
    std::thread publisher([&] {
        std::this_thread::sleep_for(20ms);
        ring.publish("chip-finished", "{}");
    });
    const auto start = std::chrono::steady_clock::now();
    const EventRing::Batch batch = ring.after(0, 10, 10s);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    ASSERT_EQ(batch.events.size(), 1u);
    EXPECT_EQ(batch.events[0].type, "chip-finished");
    publisher.join();

    std::thread closer([&] {
        std::this_thread::sleep_for(20ms);
        ring.close();
    });
    EXPECT_TRUE(ring.after(1, 10, 10s).closed);
    closer.join();
}

}  // namespace
