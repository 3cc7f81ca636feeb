#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/MessageCatalogue.h"
#include "production/FieldSpan.h"
#include "production/JobFile.h"
#include "production/JobValues.h"
#include "production/MacAddress.h"
#include "production/ProductionJob.h"
#include "production/ValueList.h"

namespace {

struct ListCase {
    const char* name;
    ValueForm form;
    std::string text;
    std::vector<std::string> texts;  // empty: refused
    const char* problem;             // in the refusal
};

class ValueListParse : public testing::TestWithParam<ListCase> {};

TEST_P(ValueListParse, TakesOneValueALineOrNamesTheBadLine)
{
    std::string error;
    const std::optional<ValueList> list = ValueList::parse(GetParam().text, GetParam().form, error);
    if (GetParam().texts.empty()) {
        EXPECT_FALSE(list);
        EXPECT_NE(error.find(GetParam().problem), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(list) << error;
    EXPECT_EQ(list->texts, GetParam().texts);
}

const std::string Nul("12\0" "3\n", 5);

INSTANTIATE_TEST_SUITE_P(
    Forms, ValueListParse,
    testing::Values(
        ListCase{"HexUpperCased", ValueForm::Hex, "1a2B\r\n00ff\n", {"1A2B", "00FF"}, ""},
        ListCase{"DecSkipsBlankLinesAndTrims", ValueForm::Dec, "\xEF\xBB\xBF" "12\n\n  34 \n", {"12", "34"}, ""},
        ListCase{"AsciiKeepsSpaces", ValueForm::Ascii, "AB 1\nx\n", {"AB 1", "x"}, ""},
        ListCase{"BytesSpacedOrNot", ValueForm::Bytes, "DE AD be ef\n0102", {"DEADBEEF", "0102"}, ""},
        ListCase{"HexWithALetterPastF", ValueForm::Hex, "12\n1G\n", {}, "line 2 is no hexadecimal number"},
        ListCase{"DecWithASign", ValueForm::Dec, "-1\n", {}, "line 1 is no decimal number"},
        ListCase{"AsciiWithAControlCharacter", ValueForm::Ascii, "ok\nbell\a\n", {}, "line 2 holds a character"},
        ListCase{"AsciiWithNul", ValueForm::Ascii, Nul, {}, "line 1 holds a character"},
        ListCase{"AsciiNotAscii", ValueForm::Ascii, "caf\xC3\xA9\n", {}, "line 1 holds a character"},
        ListCase{"BytesOddDigits", ValueForm::Bytes, "DEA\n", {}, "line 1 is no bytes"},
        ListCase{"BytesSplitDigit", ValueForm::Bytes, "D EAD\n", {}, "line 1 is no bytes"},
        ListCase{"RepeatedValue", ValueForm::Bytes, "0A0B\n0c\n0a 0b\n", {}, "line 3 repeats the value of line 1"},
        ListCase{"OnlyBlankLines", ValueForm::Dec, "\n \r\n", {}, "holds no value"},
        ListCase{"OverlongLine", ValueForm::Ascii, std::string(5000, 'a'), {}, "line 1 is longer than 4096"}),
    [](const testing::TestParamInfo<ListCase>& info) { return std::string(info.param.name); });

TEST(MacAddress, ReadsBothSeparatorsAndRefusesTheRest)
{
    EXPECT_EQ(MacAddress::parse("02:00:5e:10:00:FF"), 0x02005E1000FFull);
    EXPECT_EQ(MacAddress::parse("02-00-5E-10-00-FF"), 0x02005E1000FFull);
    for (const char* bad : {"02:00:5E:10:00", "02:00-5E:10:00:FF", "02:00:5E:10:00:FG", "02:00:5E:10:00:FF:",
                            "2:00:5E:10:00:FFF"})
        EXPECT_FALSE(MacAddress::parse(bad)) << bad;
    EXPECT_EQ(MacAddress::text(0x02005E1000FFull), "02:00:5E:10:00:FF");
    EXPECT_EQ(MacAddress::bytes(0x02005E1000FFull), (std::vector<uint8_t>{2, 0, 0x5E, 0x10, 0, 0xFF}));
}

// A range counts through its end, carrying into the higher bytes, and stops there.
TEST(MacRange, CountsUpwardAndEndsAtItsLast)
{
    std::string error;
    const std::optional<ValueField> field = ParseMacField("0x10:02:00:00:00:00:FE:02:00:00:00:01:00", error);
    ASSERT_TRUE(field) << error;
    ProductionJob job;
    job.values = {*field};
    const std::optional<JobValues> values = JobValues::load(job, "", {}, 0, 0x100, English, error);
    ASSERT_TRUE(values) << error;
    EXPECT_EQ(values->preview(0, std::nullopt, 5),
              (std::vector<std::string>{"02:00:00:00:00:FE", "02:00:00:00:00:FF", "02:00:00:00:01:00"}));
    EXPECT_FALSE(values->keyAfter(0, "2"));
    EXPECT_FALSE(ParseMacField("0x10:02:00:00:00:00:02:02:00:00:00:00:01", error));
    EXPECT_NE(error.find("ends before it starts"), std::string::npos) << error;
}

struct SpanCase {
    const char* name;
    std::vector<FieldSpan> spans;
    const char* problem;  // empty: accepted
};

class FieldPlacement : public testing::TestWithParam<SpanCase> {};

TEST_P(FieldPlacement, OverlapsAndFieldsOutsideTheSpanAreRefused)
{
    const std::string problem = FieldSpansProblem(GetParam().spans, 0x100, 0x1000);
    if (*GetParam().problem == '\0')
        EXPECT_EQ(problem, "");
    else
        EXPECT_NE(problem.find(GetParam().problem), std::string::npos) << problem;
}

INSTANTIATE_TEST_SUITE_P(
    Spans, FieldPlacement,
    testing::Values(SpanCase{"Adjacent", {{"mac", 0x200, 6}, {"serial", 0x206, 4}, {"key", 0x100, 0x100}}, ""},
                    SpanCase{"OverlapsTheSerial", {{"serial", 0x200, 4}, {"mac", 0x203, 6}},
                             "serial and mac overlap at 0x203"},
                    SpanCase{"InsideAnother", {{"key", 0x300, 0x100}, {"mac", 0x310, 6}}, "key and mac overlap"},
                    SpanCase{"PastTheEnd", {{"mac", 0xFFC, 6}}, "mac (6 bytes at 0xFFC) lies outside"},
                    SpanCase{"BeforeTheStart", {{"mac", 0xF0, 6}}, "lies outside the programmed span 0x100"}),
    [](const testing::TestParamInfo<SpanCase>& info) { return std::string(info.param.name); });

struct FieldTextCase {
    const char* name;
    ValueField (*parse)(const std::string&);
    std::string text;
    std::string describe;  // empty: refused
};

// A MAC field stands for a refusal: neither parser makes one.
ValueField refused()
{
    ValueField field;
    field.kind = ValueKind::Mac;
    return field;
}

ValueField listOf(const std::string& text)
{
    std::string error;
    return ParseListField(text, error).value_or(refused());
}

ValueField filesOf(const std::string& text)
{
    std::string error;
    return ParseFilesField(text, error).value_or(refused());
}

class FieldOption : public testing::TestWithParam<FieldTextCase> {};

// Paths may hold colons of their own: the last fields are the address and form.
TEST_P(FieldOption, ReadsTheCommandLineForm)
{
    const ValueField field = GetParam().parse(GetParam().text);
    if (GetParam().describe.empty())
        EXPECT_EQ(field.kind, ValueKind::Mac);
    else
        EXPECT_EQ(field.describe(), GetParam().describe);
}

INSTANTIATE_TEST_SUITE_P(
    Options, FieldOption,
    testing::Values(FieldTextCase{"List", listOf, "keys.txt:100:bytes", "keys.txt:0x100:bytes"},
                    FieldTextCase{"ListPathWithColon", listOf, "C:/a.txt:0x20:dec", "C:/a.txt:0x20:dec"},
                    FieldTextCase{"ListUnknownForm", listOf, "a.txt:0x20:le", ""},
                    FieldTextCase{"ListNoAddress", listOf, "a.txt:dec", ""},
                    FieldTextCase{"ListAddressTooLarge", listOf, "a.txt:100000000:dec", ""},
                    FieldTextCase{"Files", filesOf, "certs:0x8000", "certs:0x8000"},
                    FieldTextCase{"FilesNoFolder", filesOf, ":0x8000", ""}),
    [](const testing::TestParamInfo<FieldTextCase>& info) { return std::string(info.param.name); });

TEST(JobFileValues, RoundTripAndRefuseAnOlderReadersVersion)
{
    ProductionJob job;
    job.image = "image.bin";
    std::string error;
    job.values = {*ParseListField("keys.txt:0x100:ascii", error),
                  *ParseMacField("0x200:02:00:00:00:00:01:02:00:00:00:00:09", error),
                  *ParseFilesField("certs:0x400", error)};
    job.values[0].sha256 = "ab";
    job.reuseFailedValues = true;
    const std::string text = JobFile::text(job);
    EXPECT_NE(text.find("\"version\": 2"), std::string::npos);
    const JobFileRead read = JobFile::parse(text, "job");
    ASSERT_TRUE(read.job) << read.error;
    ASSERT_EQ(read.job->values.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(read.job->values[i].describe(), job.values[i].describe());
    EXPECT_EQ(read.job->values[0].sha256, "ab");
    EXPECT_TRUE(read.job->reuseFailedValues);
    std::string hostile = text;
    hostile.replace(hostile.find("\"mac\""), 5, "\"ram\"");
    EXPECT_NE(JobFile::parse(hostile, "job").error.find("is none of list, mac, files"), std::string::npos);
}

}  // namespace
