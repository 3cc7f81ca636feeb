#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

#include "buffers/BufferFiles.h"
#include "core/MessageCatalogue.h"
#include "support/RecordingHost.h"
#include "TempFolder.h"

namespace {

struct LoadCase {
    const char* name;
    const char* fileName;
    std::string content;
    int32_t count;
    std::vector<std::string> errors = {};
};

const std::string HexText = ":0100000011EE\r\n:00000001FF\r\n";
const std::string SRecordText = "S1040000AA51\r\nS9030000FC\r\n";

class LoadByExtension : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadByExtension, PicksTheForm)
{
    const LoadCase& c = GetParam();
    TempFolder folder;
    const std::string path = folder.file(c.fileName);
    writeFile(path, c.content);
    std::vector<uint8_t> destination(0x1000, 0x55);
    const FileLoad load =
        LoadBufferFile(path, {destination.data(), static_cast<uint32_t>(destination.size())}, English);
    EXPECT_EQ(load.count, c.count);
    EXPECT_EQ(load.errors, c.errors);
    if (c.errors.empty() && c.count > 0) {
        EXPECT_NE(destination[0], 0x55);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, LoadByExtension,
    ::testing::Values(
        LoadCase{"Binary", "a.bin", std::string(100, '\x01'), 100},
        LoadCase{"HexUpperCaseExtension", "a.HeX", HexText, 1},
        LoadCase{"SourceIsSRecord", "a.src", SRecordText, 1},
        LoadCase{"S19IsSRecord", "a.s19", SRecordText, 1},
        LoadCase{"SrecIsSRecord", "a.SREC", SRecordText, 1},
        LoadCase{"S28IsSRecord", "a.s28", SRecordText, 1},
        LoadCase{"S37IsSRecord", "a.s37", SRecordText, 1},
        LoadCase{"MotIsSRecord", "a.mot", SRecordText, 1},
        LoadCase{"RawImageUnderAnSRecordName", "a.s19", "\x01\x02\x03", 3},
        LoadCase{"IntelHexUnderAnSRecordName", "a.src", HexText, 1},
        LoadCase{"EepWithSRecord", "a.eep", SRecordText, 1},
        LoadCase{"EepWithIntelHex", "a.EEP", HexText, 1},
        LoadCase{"EepWithBinary", "a.eep", "\x01\x02\x03", 3},
        LoadCase{"EmptyEep", "a.eep", "", 0},
        LoadCase{"CapsuleSkipsItsHeader", "a.cap", std::string(2048, 'H') + std::string(1000, '\x02'), 1000},
        LoadCase{"CapsuleHeaderOnly", "a.cap", std::string(2048, 'H'), 0},
        LoadCase{"AnyOtherExtension", "a.rom", ":00000001FF", 11},
        LoadCase{"NoExtension", "hex", HexText, static_cast<int32_t>(HexText.size())},
        LoadCase{"BinaryTooBig", "a.bin", std::string(0x1001, '\x01'), 0, {"File is too big for Buffer"}},
        LoadCase{"CapsuleTooBigWithItsHeader", "a.cap", std::string(2048 + 0x1000 - 2047, 'H'), 0,
                 {"File is too big for Buffer"}}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST(LoadBufferFile, CapsuleDataStartsAfterTheHeader)
{
    TempFolder folder;
    std::string content(2048, 'H');
    content += "\x12\x34";
    writeFile(folder.file("bios.cap"), content);
    uint8_t destination[4] = {0x55, 0x55, 0x55, 0x55};
    EXPECT_EQ(LoadBufferFile(folder.file("bios.cap"), {destination, 4000}, English).count, 2);
    EXPECT_EQ(destination[0], 0x12);
    EXPECT_EQ(destination[1], 0x34);
    EXPECT_EQ(destination[2], 0x55);
}

TEST(LoadBufferFile, MissingFiles)
{
    uint8_t destination[4];
    const FileLoad eep = LoadBufferFile("/nonexistent/a.eep", {destination, 4}, English);
    EXPECT_EQ(eep.errors, std::vector<std::string>{"Can't open File"});
    EXPECT_FALSE(eep.notOpened);  // the Open command carries on with nothing loaded
    for (const char* path : {"/nonexistent/a.bin", "/nonexistent/a.hex", "/nonexistent/a.cap", "/nonexistent/a.mot",
                             "/tmp"}) {
        const FileLoad load = LoadBufferFile(path, {destination, 4}, English);
        EXPECT_EQ(load.errors, std::vector<std::string>{std::string("Cannot open file ") + path});
        EXPECT_TRUE(load.notOpened);
    }
}

struct StreamCase {
    const char* name;
    const char* fileName;
    std::string content;
};

// A raw image larger than one piece of the stream, so that pieces are joined.
std::string rawImage()
{
    std::string bytes(600 << 10, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 31 >> 3);
    return bytes;
}

class StreamByExtension : public ::testing::TestWithParam<StreamCase> {};

// Streaming hands over, in address order, what loading puts into an erased block.
TEST_P(StreamByExtension, HandsOverWhatLoadingStores)
{
    const StreamCase& c = GetParam();
    TempFolder folder;
    const std::string path = folder.file(c.fileName);
    writeFile(path, c.content);
    constexpr uint32_t Capacity = 1 << 20;
    std::vector<uint8_t> loaded(Capacity, 0xFF);
    const FileLoad load = LoadBufferFile(path, {loaded.data(), Capacity}, English);
    std::vector<uint8_t> streamed;
    const FileLoad stream = StreamBufferFile(
        path, Capacity, [&](const uint8_t* bytes, size_t count) { streamed.insert(streamed.end(), bytes, bytes + count); },
        English);
    EXPECT_EQ(stream.count, load.count);
    EXPECT_EQ(stream.errors, load.errors);
    loaded.resize(load.ok() ? size_t(load.count) : 0);
    EXPECT_EQ(streamed, loaded);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, StreamByExtension,
    ::testing::Values(StreamCase{"RawInPieces", "a.bin", rawImage()},
                      StreamCase{"CapsuleWithoutItsHeader", "a.cap", std::string(2048, 'H') + rawImage()},
                      StreamCase{"HexWithAGapErased", "a.hex", ":0100000011EE\r\n:0100100022CD\r\n:00000001FF\r\n"},
                      StreamCase{"TooBig", "a.bin", std::string((1 << 20) + 1, '\x01')},
                      StreamCase{"BadRecord", "a.hex", ":0100000011EF\r\n"}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

// A small record file loaded behind an offset into a 64 MiB block costs the
// block only the memory its extent needs.
TEST(LoadBufferFile, ErasedBlockTakesOnlyTheFilesExtent)
{
    TempFolder folder;
    writeFile(folder.file("a.hex"), ":0101000011ED\r\n:00000001FF\r\n");
    ErasedBlock block(64 << 20);
    const FileLoad load = LoadBufferFile(folder.file("a.hex"), LoadTarget(block, 0x10), English);
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.count, 0x101);
    const uint8_t* bytes = block.reach(0x111);
    EXPECT_EQ(bytes[0x110], 0x11);
    EXPECT_EQ(bytes[0x10F], 0xFF);
    EXPECT_LE(block.reached(), size_t(1) << 20);
}

class SaveBufferFileTest : public ::testing::Test {
protected:
    SaveBufferFileTest() : image(0x1000)
    {
        host.defaultAnswer = true;
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<uint8_t>(i * 7);
    }
    bool save(const std::string& path) { return SaveBufferFile(path, image.data(), 0x1000, host, 2); }

    TempFolder folder;
    RecordingHost host;
    std::vector<uint8_t> image;
};

TEST_F(SaveBufferFileTest, FormFollowsTheExtension)
{
    for (const char* name : {"a.bin", "a.rom", "a.eep", "a.cap", "a"}) {
        ASSERT_TRUE(save(folder.file(name)));
        EXPECT_EQ(readFile(folder.file(name)), std::string(image.begin(), image.end())) << name;
    }
    ASSERT_TRUE(save(folder.file("a.HEX")));
    EXPECT_EQ(readFile(folder.file("a.HEX")).substr(0, 9), ":20000000");
    ASSERT_TRUE(save(folder.file("a.src")));
    EXPECT_EQ(readFile(folder.file("a.src")).substr(0, 20), "S00600004844521B\r\nS1");
    EXPECT_TRUE(host.questions.empty());
    EXPECT_TRUE(host.errorBoxes.empty());
}

TEST_F(SaveBufferFileTest, AsksBeforeReplacing)
{
    const std::string path = folder.file("old.bin");
    writeFile(path, "previous");
    host.answers = {false};
    EXPECT_FALSE(save(path));
    EXPECT_EQ(host.questions, std::vector<std::string>{"File already exists. Is it covered? "});
    EXPECT_EQ(readFile(path), "previous");

    host.answers = {true};
    EXPECT_TRUE(save(path));
    EXPECT_EQ(readFile(path).size(), 0x1000u);
}

TEST_F(SaveBufferFileTest, SavingThroughALinkKeepsTheLink)
{
    const std::string target = folder.file("real.bin");
    const std::string link = folder.file("link.bin");
    writeFile(target, "previous");
    std::filesystem::create_symlink(target, link);
    EXPECT_TRUE(save(link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(target).size(), 0x1000u);
}

TEST_F(SaveBufferFileTest, MissingFolderCannotBeCreated)
{
    const std::string path = folder.file("missing/a.hex");
    EXPECT_FALSE(save(path));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"Cannot create file " + path});
}

// A disk that fills up half-way: the file size limit makes every write past
// 16 KiB fail, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int);
};

TEST_F(SaveBufferFileTest, FailedWriteLeavesThePreviousFile)
{
    std::vector<uint8_t> large(0x100000);
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<uint8_t>(i);
    for (const char* name : {"keep.bin", "keep.hex", "keep.src"}) {
        const std::string path = folder.file(name);
        writeFile(path, std::string("previous contents of ") + name);
        host.errorBoxes.clear();
        {
            FileSizeLimit limit(0x4000);
            EXPECT_FALSE(SaveBufferFile(path, large.data(), static_cast<uint32_t>(large.size()), host, 2));
        }
        EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"Error writing file."}) << name;
        EXPECT_EQ(readFile(path), std::string("previous contents of ") + name);
    }
    // No half-written files stay behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 3);
}

TEST_F(SaveBufferFileTest, MessagesInTheCurrentLanguage)
{
    const std::string path = folder.file("old.bin");
    writeFile(path, "previous");
    host.answers = {false};
    EXPECT_FALSE(SaveBufferFile(path, image.data(), 16, host, 0));
    EXPECT_EQ(host.questions, std::vector<std::string>{"文件已存在,是否覆盖?"});
}

}  // namespace
