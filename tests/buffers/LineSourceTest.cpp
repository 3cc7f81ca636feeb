#include <gtest/gtest.h>

#include "buffers/LineSource.h"
#include "TempFolder.h"

namespace {

constexpr size_t Block = 1 << 20;  // the line source's read size
constexpr size_t Longest = LineSource::MaxLineLength;

struct LineCase {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
    uint64_t tooLongLine = 0;  // 0: every line is read
};

std::vector<std::string> readAll(LineSource& source, const LineCase& c)
{
    std::vector<std::string> lines;
    std::string_view line;
    while (source.ReadLine(line))
        lines.emplace_back(line);
    EXPECT_EQ(source.tooLong(), c.tooLongLine != 0);
    if (c.tooLongLine != 0) {
        EXPECT_EQ(source.lineNumber(), c.tooLongLine);
    }
    return lines;
}

// `before` bytes of ordinary lines, then `tail`: places the tail anywhere in
// the file, such as across the end of the first read.
LineCase after(const char* name, size_t before, const std::string& tail, std::vector<std::string> tailLines,
               uint64_t tooLongLine = 0)
{
    LineCase c{name, {}, {}, tooLongLine};
    while (c.text.size() < before) {
        const std::string line(std::min<size_t>(1000, before - c.text.size()) - 1, 'f');
        c.text += line + "\n";
        c.lines.push_back(line);
    }
    c.text += tail;
    c.lines.insert(c.lines.end(), tailLines.begin(), tailLines.end());
    if (tooLongLine != 0)
        c.tooLongLine += c.lines.size() - tailLines.size();
    return c;
}

class LineSplitting : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSplitting, SplitsAFile)
{
    TempFolder folder;
    writeFile(folder.file("lines"), GetParam().text);
    InputFile file(folder.file("lines"));
    LineSource source(file);
    EXPECT_EQ(readAll(source, GetParam()), GetParam().lines);
}

TEST_P(LineSplitting, SplitsTextInMemory)
{
    LineSource source(GetParam().text);
    EXPECT_EQ(readAll(source, GetParam()), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, LineSplitting,
    ::testing::Values(
        LineCase{"Mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        LineCase{"BlankLines", "\r\n\n\r", {"", "", ""}},
        LineCase{"CarriageReturnLast", "x\r", {"x"}},
        LineCase{"Empty", "", {}},
        LineCase{"DoubledCarriageReturnBeforeLineFeed", "a\r\r\nb\r\r\n", {"a", "b"}},
        LineCase{"DoubledCarriageReturnAlone", "a\r\rb", {"a", "", "b"}},
        LineCase{"TripledCarriageReturn", "a\r\r\r\nb", {"a", "", "b"}},
        after("EndingSplitAcrossReads", Block - 2, "a\r\nb", {"a", "b"}),
        after("DoubledEndingSplitAfterItsFirstByte", Block - 2, "a\r\r\nb", {"a", "b"}),
        after("DoubledEndingSplitBeforeItsLineFeed", Block - 3, "a\r\r\nb", {"a", "b"}),
        after("LoneCarriageReturnAtTheReadEnd", Block - 2, "a\rb", {"a", "b"}),
        after("LongestLineAcrossReads", Block - 10, std::string(Longest, 'c') + "\ny",
              {std::string(Longest, 'c'), "y"}),
        after("LineTooLong", 10, std::string(Longest + 1, 'c') + "\r\ny", {}, 1),
        after("LineTooLongAcrossReads", Block - 10, std::string(Longest + 1, 'c') + "\r\ny", {}, 1),
        LineCase{"NoEndingAtAll", std::string(3 * Block + 5, 'c'), {}, 1}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

}  // namespace
