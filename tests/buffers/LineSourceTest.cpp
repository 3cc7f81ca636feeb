#include <gtest/gtest.h>

#include "buffers/LineSource.h"
#include "TempFolder.h"

namespace {

constexpr size_t Block = 1 << 20;  // the line source's read size

struct LineCase {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

class LineSplitting : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSplitting, SplitsAtEveryEnding)
{
    TempFolder folder;
    writeFile(folder.file("lines"), GetParam().text);
    InputFile file(folder.file("lines"));
    LineSource source(file);
    std::vector<std::string> lines;
    std::string_view line;
    while (source.ReadLine(line))
        lines.emplace_back(line);
    EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, LineSplitting,
    ::testing::Values(
        LineCase{"Mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        LineCase{"BlankLines", "\r\n\n\r", {"", "", ""}},
        LineCase{"CarriageReturnLast", "x\r", {"x"}},
        LineCase{"Empty", "", {}},
        LineCase{"EndingSplitAcrossReads", std::string(Block - 1, 'a') + "\r\nb", {std::string(Block - 1, 'a'), "b"}},
        LineCase{"LoneCarriageReturnAtTheReadEnd", std::string(Block - 1, 'a') + "\rb",
                 {std::string(Block - 1, 'a'), "b"}},
        LineCase{"LongerThanOneRead", "x\n" + std::string(3 * Block + 5, 'c') + "\ny",
                 {"x", std::string(3 * Block + 5, 'c'), "y"}}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

}  // namespace
