#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "buffers/IntelHex.h"
#include "buffers/RawBinary.h"
#include "buffers/SRecord.h"
#include "core/MessageCatalogue.h"
#include "TempFolder.h"

// Every reader/writer pair must give back what it was given.

namespace {

struct IntelHexForm {
    static constexpr const char* name = "image.hex";
    static FileSave write(const std::string& p, const uint8_t* s, uint32_t n) { return WriteIntelHex(p, s, n); }
    static FileLoad read(const std::string& p, uint8_t* d, uint32_t c) { return ReadIntelHex(p, {d, c}, English); }
    static constexpr size_t recordSize = 32;
};

struct SRecordForm {
    static constexpr const char* name = "image.src";
    static FileSave write(const std::string& p, const uint8_t* s, uint32_t n) { return WriteSRecord(p, s, n); }
    static FileLoad read(const std::string& p, uint8_t* d, uint32_t c) { return ReadSRecord(p, {d, c}, English); }
    static constexpr size_t recordSize = 16;
};

struct RawForm {
    static constexpr const char* name = "image.bin";
    static FileSave write(const std::string& p, const uint8_t* s, uint32_t n) { return WriteRawBinary(p, s, n); }
    static FileLoad read(const std::string& p, uint8_t* d, uint32_t c) { return ReadRawBinary(p, {d, c}); }
    static constexpr size_t recordSize = 0;  // no records: every byte is written
};

std::vector<uint8_t> randomImage(size_t size, unsigned seed)
{
    std::vector<uint8_t> image(size);
    std::mt19937 generator(seed);
    for (auto& byte : image)
        byte = static_cast<uint8_t>(generator());
    return image;
}

// What loading gives back: the whole length for raw files, else the end of the
// last record written, which holds a byte that is not 0xFF.
int32_t extentOf(const std::vector<uint8_t>& image, size_t recordSize)
{
    if (recordSize == 0)
        return static_cast<int32_t>(image.size());
    size_t extent = 0;
    for (size_t at = 0; at < image.size(); at += recordSize) {
        const size_t end = std::min(image.size(), at + recordSize);
        if (std::any_of(image.begin() + at, image.begin() + end, [](uint8_t b) { return b != 0xFF; }))
            extent = end;
    }
    return static_cast<int32_t>(extent);
}

template <typename Form>
class RoundTrip : public ::testing::Test {
protected:
    void expectRoundTrip(const std::vector<uint8_t>& image)
    {
        const std::string path = folder.file(Form::name);
        ASSERT_EQ(Form::write(path, image.data(), static_cast<uint32_t>(image.size())), FileSave::Written);
        std::vector<uint8_t> loaded(image.size() + 64, 0xFF);
        const FileLoad load = Form::read(path, loaded.data(), static_cast<uint32_t>(loaded.size()));
        ASSERT_TRUE(load.ok()) << load.errors.front();
        EXPECT_EQ(load.count, extentOf(image, Form::recordSize));
        loaded.resize(image.size());
        EXPECT_TRUE(loaded == image);
    }

    TempFolder folder;
};

using Forms = ::testing::Types<IntelHexForm, SRecordForm, RawForm>;
TYPED_TEST_SUITE(RoundTrip, Forms);

TYPED_TEST(RoundTrip, RandomImageAcrossThe64KiBBoundary)
{
    this->expectRoundTrip(randomImage(0x20000, 1));
}

TYPED_TEST(RoundTrip, AllBlankImage)
{
    this->expectRoundTrip(std::vector<uint8_t>(0x10000, 0xFF));
}

TYPED_TEST(RoundTrip, LengthsAroundRecordSizes)
{
    for (size_t length : {1, 15, 16, 17, 31, 32, 33})
        this->expectRoundTrip(randomImage(length, static_cast<unsigned>(length)));
}

TYPED_TEST(RoundTrip, LengthsAroundTheAddressWidths)
{
    for (size_t length : {0xFFFF, 0x10000, 0x10001})
        this->expectRoundTrip(randomImage(length, static_cast<unsigned>(length)));
}

TYPED_TEST(RoundTrip, SparseImageAbove16MiB)
{
    // Past 0xFFFFFF S-records need four address bytes; blank stretches of
    // 4 KiB leave gaps in the record files.
    std::vector<uint8_t> image(0x1000000 + 0x2345, 0xFF);
    const auto data = randomImage(0x1000, 7);
    for (size_t at : {size_t{0}, size_t{0x7FF800}, size_t{0xFFF800}, image.size() - 0x1000})
        std::copy(data.begin(), data.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    this->expectRoundTrip(image);
}

template <typename Form>
class RecordRoundTrip : public RoundTrip<Form> {};

using RecordForms = ::testing::Types<IntelHexForm, SRecordForm>;
TYPED_TEST_SUITE(RecordRoundTrip, RecordForms);

TYPED_TEST(RecordRoundTrip, BlankStretchesKeepWhatTheDestinationHeld)
{
    constexpr size_t recordSize = TypeParam::recordSize;
    std::vector<uint8_t> image(0x100, 0xFF);
    image[0x40] = 0x12;
    const std::string path = this->folder.file(TypeParam::name);
    ASSERT_EQ(TypeParam::write(path, image.data(), 0x100), FileSave::Written);
    std::vector<uint8_t> loaded(0x100, 0x55);
    EXPECT_EQ(TypeParam::read(path, loaded.data(), 0x100).count, static_cast<int32_t>(0x40 + recordSize));
    EXPECT_EQ(loaded[0x40], 0x12);
    EXPECT_EQ(loaded[0x41], 0xFF);
    EXPECT_EQ(loaded[0x3F], 0x55);
    EXPECT_EQ(loaded[0x40 + recordSize], 0x55);
}

}  // namespace
