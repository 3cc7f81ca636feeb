#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "buffers/IntelHex.h"
#include "buffers/SRecord.h"
#include "core/MessageCatalogue.h"
#include "TempFolder.h"

// srec_cat is the reference reader and writer of both record formats: what we
// write it must read, and what it writes we must read, on sparse images.

namespace {

struct Format {
    const char* name;
    const char* srecCatOption;
    FileSave (*write)(const std::string&, const uint8_t*, uint32_t);
    FileLoad (*read)(const std::string&, LoadTarget, int);
};

void PrintTo(const Format& format, std::ostream* out)
{
    *out << format.name;
}

const Format Formats[] = {
    {"IntelHex", "-intel", WriteIntelHex, ReadIntelHex},
    {"SRecord", "-motorola", WriteSRecord, ReadSRecord},
};

// Random stretches between blank ones, of random lengths.
std::vector<uint8_t> sparseImage(size_t size, unsigned seed)
{
    std::vector<uint8_t> image(size, 0xFF);
    std::mt19937 generator(seed);
    size_t at = generator() % 300;
    while (at < size) {
        const size_t length = std::min<size_t>(1 + generator() % 5000, size - at);
        for (size_t i = 0; i < length; ++i)
            image[at + i] = static_cast<uint8_t>(generator());
        at += length + generator() % 9000;
    }
    return image;
}

bool run(const std::string& command)
{
    return std::system((command + " 2>&1").c_str()) == 0;
}

class SrecCatInterop : public ::testing::TestWithParam<std::tuple<Format, size_t>> {
protected:
    void SetUp() override
    {
        if (std::system("command -v srec_cat >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "srec_cat is not installed";
    }

    TempFolder folder;
};

TEST_P(SrecCatInterop, SrecCatReadsWhatWeWrite)
{
    const auto& [format, size] = GetParam();
    const auto image = sparseImage(size, static_cast<unsigned>(size));
    const std::string ours = folder.file("ours");
    const std::string binary = folder.file("theirs.bin");
    ASSERT_EQ(format.write(ours, image.data(), static_cast<uint32_t>(size)), FileSave::Written);
    ASSERT_TRUE(run("srec_cat '" + ours + "' " + format.srecCatOption + " -fill 0xFF 0 " + std::to_string(size) +
                    " -o '" + binary + "' -binary"));
    const std::string converted = readFile(binary);
    ASSERT_EQ(converted.size(), size);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), reinterpret_cast<const uint8_t*>(converted.data())));
}

TEST_P(SrecCatInterop, WeReadWhatSrecCatWrites)
{
    const auto& [format, size] = GetParam();
    const auto image = sparseImage(size, static_cast<unsigned>(size) + 1);
    const std::string binary = folder.file("image.bin");
    const std::string theirs = folder.file("theirs");
    writeFile(binary, image);
    // Blank runs of 16 bytes and more are left out, so the file has gaps. A
    // start address makes srec_cat end S-record files with a terminator (our
    // reader requires one) and adds a start address record to HEX files.
    ASSERT_TRUE(run("srec_cat '" + binary + "' -binary -unfill 0xFF 16 -execution-start-address 0 -o '" + theirs +
                    "' " + format.srecCatOption));
    std::vector<uint8_t> loaded(size, 0xFF);
    const FileLoad load = format.read(theirs, {loaded.data(), static_cast<uint32_t>(size)}, English);
    ASSERT_TRUE(load.ok()) << load.errors.front();
    EXPECT_LE(load.count, static_cast<int32_t>(size));
    EXPECT_TRUE(loaded == image);
}

INSTANTIATE_TEST_SUITE_P(
    SparseImages, SrecCatInterop,
    ::testing::Combine(::testing::ValuesIn(Formats), ::testing::Values(size_t{0x9000}, size_t{0x34567})),
    [](const ::testing::TestParamInfo<std::tuple<Format, size_t>>& info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::to_string(std::get<1>(info.param));
    });

}  // namespace
