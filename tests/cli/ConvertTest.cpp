#include "cli/CliTest.h"
#include "support/CaseName.h"

namespace {

// Past 64 KiB, so the HEX form needs an extended address record, with a blank
// stretch the record forms leave out, and a last byte that is not blank.
std::vector<uint8_t> sampleImage()
{
    std::vector<uint8_t> image(0x11234);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 7 + i / 251);
    std::fill(image.begin() + 0x3000, image.begin() + 0x4000, 0xFF);
    image.back() = 0x5A;
    return image;
}

class ConvertChains : public CliTest, public testing::WithParamInterface<std::vector<std::string>> {};

// Each step's output is the next step's input; the last must equal the first.
TEST_P(ConvertChains, GiveBackTheSameBytes)
{
    writeFile("sample.bin", sampleImage());
    const std::vector<std::string>& files = GetParam();
    for (size_t i = 1; i < files.size(); ++i) {
        std::string input = files[i - 1];
        // S-record files are written as .src but read back as .eep.
        if (input.ends_with(".src")) {
            std::filesystem::copy_file(path(input), path(input + ".eep"));
            input += ".eep";
        }
        const CliResult result = run({"convert", path(input), path(files[i])});
        ASSERT_EQ(result.exitCode, 0) << input << " -> " << files[i] << ": " << result.err;
        EXPECT_EQ(result.out, "Extent: 70196 bytes (0x11234)\n");
    }
    EXPECT_EQ(readFile(files.back()), sampleImage());
}

INSTANTIATE_TEST_SUITE_P(Convert, ConvertChains,
                         testing::Values(std::vector<std::string>{"sample.bin", "a.hex", "b.src", "c.bin"},
                                         std::vector<std::string>{"sample.bin", "a.src", "b.hex", "c.rom"}),
                         [](const auto& info) {
                             std::string name;
                             for (const std::string& file : info.param)
                                 name += (name.empty() ? "" : "To") + WordsCaseName(file.substr(file.find('.') + 1));
                             return name;
                         });

struct BadInputCase {
    const char* name;
    const char* file;
    const char* text;
    std::vector<std::string> options;
    const char* err;
};

class ConvertRefusals : public CliTest, public testing::WithParamInterface<BadInputCase> {};

TEST_P(ConvertRefusals, PrintTheReadersMessageAndWriteNothing)
{
    const BadInputCase& bad = GetParam();
    if (bad.text != nullptr)
        writeFile(bad.file, Bytes(bad.text));
    std::vector<std::string> arguments{"convert", path(bad.file), path("out.bin")};
    arguments.insert(arguments.end(), bad.options.begin(), bad.options.end());
    const CliResult result = run(arguments);
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_TRUE(Contains(result.err, std::string("error: ") + bad.err)) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(std::filesystem::exists(path("out.bin")));
}

INSTANTIATE_TEST_SUITE_P(
    Convert, ConvertRefusals,
    testing::Values(BadInputCase{"Checksum", "bad.hex", ":03000000000102FB\n:00000001FF\n", {}, "Checksum Error type 0"},
                    BadInputCase{"NoEndRecord", "bad.hex", ":03000000000102FA\n", {}, "Error reading File"},
                    BadInputCase{"PastCapacity", "big.hex", ":03000000000102FA\n:00000001FF\n", {"--capacity", "2"},
                                 "File exceeds Maximum Size"},
                    BadInputCase{"Missing", "missing.bin", nullptr, {}, "Cannot open file"}),
    [](const testing::TestParamInfo<BadInputCase>& info) { return std::string(info.param.name); });

}  // namespace
