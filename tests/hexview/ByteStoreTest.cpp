#include "hexview/ByteStore.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> contents(const ByteStore& store)
{
    std::vector<uint8_t> bytes(store.size());
    store.read(0, store.size(), bytes.data());
    return bytes;
}

std::vector<uint8_t> ramp(uint32_t count)
{
    std::vector<uint8_t> bytes(count);
    for (uint32_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

struct EditCase {
    const char* name;
    uint32_t position;
    uint32_t removeCount;
    std::vector<uint8_t> inserted;
    std::vector<uint8_t> expected;  // from the loaded bytes 00 01 02 03 04 05
};

class ByteStoreEdit : public testing::TestWithParam<EditCase> {};

TEST_P(ByteStoreEdit, AppliesUndoesAndRedoes)
{
    const EditCase& edit = GetParam();
    const std::vector<uint8_t> loaded = ramp(6);
    ByteStore store;
    store.load(loaded.data(), 6);
    store.replace(edit.position, edit.removeCount, edit.inserted.data(), static_cast<uint32_t>(edit.inserted.size()));
    EXPECT_EQ(contents(store), edit.expected);
    ASSERT_TRUE(store.canUndo());
    store.undo();
    EXPECT_EQ(contents(store), loaded);
    EXPECT_FALSE(store.canUndo());
    store.redo();
    EXPECT_EQ(contents(store), edit.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ByteStoreEdit,
    testing::Values(EditCase{"OverwriteFirst", 0, 1, {0xAA}, {0xAA, 1, 2, 3, 4, 5}},
                    EditCase{"OverwriteLast", 5, 1, {0xAA}, {0, 1, 2, 3, 4, 0xAA}},
                    EditCase{"OverwriteMiddle", 2, 2, {0xAA, 0xBB}, {0, 1, 0xAA, 0xBB, 4, 5}},
                    EditCase{"InsertAtStart", 0, 0, {0xAA}, {0xAA, 0, 1, 2, 3, 4, 5}},
                    EditCase{"InsertAtEnd", 6, 0, {0xAA}, {0, 1, 2, 3, 4, 5, 0xAA}},
                    EditCase{"DeleteFirst", 0, 1, {}, {1, 2, 3, 4, 5}},
                    EditCase{"DeleteLast", 5, 1, {}, {0, 1, 2, 3, 4}},
                    EditCase{"DeleteAll", 0, 6, {}, {}},
                    EditCase{"RemoveCountClippedAtEnd", 4, 100, {}, {0, 1, 2, 3}}),
    [](const testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

TEST(ByteStore, EditsBeyondTheEndAreIgnored)
{
    const std::vector<uint8_t> loaded = ramp(4);
    ByteStore store;
    store.load(loaded.data(), 4);
    const uint8_t byte = 0xAA;
    store.replace(5, 0, &byte, 1);
    EXPECT_EQ(contents(store), loaded);
    EXPECT_FALSE(store.canUndo());
    EXPECT_EQ(store.byte(4), 0);
    EXPECT_FALSE(store.isChanged(4));
}

TEST(ByteStore, MarksFollowTypedBytesThroughInsertsAndUndo)
{
    const std::vector<uint8_t> loaded = ramp(8);
    ByteStore store;
    store.load(loaded.data(), 8);
    const uint8_t byte = 0xAA;
    store.replace(3, 1, &byte, 1);
    store.replace(0, 0, &byte, 1);  // shifts the marked byte to 4
    for (uint32_t i = 0; i < store.size(); ++i)
        EXPECT_EQ(store.isChanged(i), i == 0 || i == 4) << i;
    store.undo();
    EXPECT_TRUE(store.isChanged(3));
    EXPECT_FALSE(store.isChanged(0));
    store.clearHistory();
    EXPECT_FALSE(store.isChanged(3));
    EXPECT_EQ(store.byte(3), 0xAA);
    EXPECT_FALSE(store.canUndo());
    EXPECT_EQ(store.undoDepth(), 0u);
}

// Random overwrites, inserts, deletes, undos and redos against a plain vector
// and its own history: the piece bookkeeping must agree at every step.
TEST(ByteStore, AgreesWithAPlainVectorUnderRandomEdits)
{
    std::mt19937 random(1234);
    const std::vector<uint8_t> loaded = ramp(300);
    ByteStore store;
    store.load(loaded.data(), 300);
    std::vector<std::vector<uint8_t>> states{loaded};
    size_t current = 0;
    for (int step = 0; step < 3000; ++step) {
        const int action = random() % 10;
        if (action == 0 && store.canUndo()) {
            store.undo();
            --current;
        } else if (action == 1 && store.canRedo()) {
            store.redo();
            ++current;
        } else {
            std::vector<uint8_t> next = states[current];
            const uint32_t size = static_cast<uint32_t>(next.size());
            const uint32_t position = random() % (size + 1);
            const uint32_t removeCount = std::min<uint32_t>(random() % 4, size - position);
            std::vector<uint8_t> inserted(random() % 4, static_cast<uint8_t>(random()));
            store.replace(position, removeCount, inserted.data(), static_cast<uint32_t>(inserted.size()));
            if (removeCount == 0 && inserted.empty())
                continue;
            next.erase(next.begin() + position, next.begin() + position + removeCount);
            next.insert(next.begin() + position, inserted.begin(), inserted.end());
            states.resize(current + 1);
            states.push_back(next);
            ++current;
        }
        ASSERT_EQ(contents(store), states[current]) << "step " << step;
        if (!states[current].empty()) {
            const uint32_t probe = random() % states[current].size();
            ASSERT_EQ(store.byte(probe), states[current][probe]);
        }
    }
}

} // namespace
