#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "buffers/ErasedBlock.h"

namespace {

constexpr size_t Capacity = size_t(8) << 20;

bool allErased(const uint8_t* bytes, size_t count)
{
    return std::all_of(bytes, bytes + count, [](uint8_t byte) { return byte == 0xFF; });
}

TEST(ErasedBlock, GrowingKeepsWhatWasWrittenAndErasesTheRest)
{
    ErasedBlock block(Capacity);
    uint8_t* start = block.reach(16);
    ASSERT_TRUE(allErased(start, 16));
    std::memset(start, 0x5A, 16);
    EXPECT_LT(block.reached(), Capacity);  // a small ask takes little memory

    EXPECT_EQ(block.reach(Capacity), start);  // the start never moves
    EXPECT_EQ(start[15], 0x5A);
    EXPECT_TRUE(allErased(start + 16, Capacity - 16));

    start[Capacity - 1] = 0;
    block.erase();
    EXPECT_TRUE(allErased(block.reach(Capacity), Capacity));
}

TEST(ErasedBlock, CopyHoldsItsOwnBytes)
{
    ErasedBlock original(Capacity);
    original.reach(4)[3] = 0x11;
    ErasedBlock copy(original);
    copy.reach(4)[3] = 0x22;
    EXPECT_EQ(original.reach(4)[3], 0x11);
    EXPECT_TRUE(allErased(copy.reach(Capacity) + 4, Capacity - 4));
}

// Gang seats read the station's buffer at the same time, each as far as it
// needs; every one must see erased bytes, none a half-erased block.
TEST(ErasedBlock, ThreadsAskingAtOnceSeeErasedBytes)
{
    const ErasedBlock block(Capacity);
    std::vector<std::thread> readers;
    std::vector<char> erased(4, false);
    for (size_t i = 0; i < erased.size(); ++i) {
        readers.emplace_back([&, i] {
            const size_t count = Capacity / erased.size() * (i + 1);
            erased[i] = allErased(block.reach(count), count);
        });
    }
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(erased, std::vector<char>(4, true));
}

}  // namespace
