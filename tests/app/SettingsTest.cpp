#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "app/Settings.h"
#include "core/MessageCatalogue.h"
#include "support/CaseName.h"

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeAll(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

class SettingsFile : public ::testing::Test {
protected:
    std::string path() const { return dir.filePath("belcor.ini").toStdString(); }
    QTemporaryDir dir;
};

struct SpeedCase {
    const char* text;
    int32_t expected;
};

void PrintTo(const SpeedCase& value, std::ostream* out)
{
    *out << "SPEED=" << value.text;
}

class SpeedValue : public SettingsFile, public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(SpeedValue, ReadsProfileIntegerOrDefault)
{
    writeAll(path(), std::string("[DEVICE]\nSPEED=") + GetParam().text + "\n");
    EXPECT_EQ(Settings(path()).speed(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Forms, SpeedValue,
    ::testing::Values(SpeedCase{"0x10", 16}, SpeedCase{"0X10", 16}, SpeedCase{"$10", 16}, SpeedCase{"16", 16},
        SpeedCase{"abc", 0}, SpeedCase{"300", 300}, SpeedCase{"-7", -7}, SpeedCase{"+7", 7},
        SpeedCase{"0x", 0}, SpeedCase{"$", 0}, SpeedCase{"", 0}, SpeedCase{"12abc", 0},
        SpeedCase{"0x1G", 0}, SpeedCase{"$FFFFFFFF", -1}, SpeedCase{"0x100000000", 0},
        SpeedCase{"2147483648", 0}, SpeedCase{"-2147483648", INT32_MIN}, SpeedCase{"+-3", 0},
        SpeedCase{"  42  ", 42}),
    [](const auto& info) { return "Speed_" + CaseName(info.param.text); });

struct LanguageCase {
    const char* text;
    int32_t expected;
};

void PrintTo(const LanguageCase& value, std::ostream* out)
{
    *out << "LANGU=" << value.text;
}

class LanguageValue : public SettingsFile, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(LanguageValue, OutsideTheThreeLanguagesIsSimplifiedChinese)
{
    writeAll(path(), std::string("[DEVICE]\nLANGU=") + GetParam().text + "\n");
    EXPECT_EQ(Settings(path()).language(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, LanguageValue,
    ::testing::Values(LanguageCase{"0", 0}, LanguageCase{"1", 1}, LanguageCase{"2", 2}, LanguageCase{"3", 0},
        LanguageCase{"-1", 0}, LanguageCase{"0x2", 2}),
    [](const auto& info) { return "Langu_" + CaseName(info.param.text); });

TEST_F(SettingsFile, MissingFileGivesEveryDefault)
{
    const Settings settings(path());
    EXPECT_FALSE(settings.formMax());
    EXPECT_EQ(settings.formTop(), 10);
    EXPECT_EQ(settings.formLeft(), 10);
    EXPECT_EQ(settings.formHeight(), 500);
    EXPECT_EQ(settings.formWidth(), 700);
    EXPECT_EQ(settings.index1(), 0);
    EXPECT_EQ(settings.index3(), 0);
    EXPECT_EQ(settings.deviceChip(), 0);
    EXPECT_EQ(settings.speed(), 0);
    EXPECT_EQ(settings.language(), SimplifiedChinese);
}

TEST_F(SettingsFile, NamesCompareWithoutLetterCaseAndMissingKeysDefault)
{
    writeAll(path(), "[environment]\r\nformwidth = 900\r\nFormMax=0x1\r\n[Chip]\r\nindex2=3\r\n");
    const Settings settings(path());
    EXPECT_EQ(settings.formWidth(), 900);
    EXPECT_TRUE(settings.formMax());
    EXPECT_EQ(settings.index2(), 3);
    EXPECT_EQ(settings.index1(), 0);
    EXPECT_EQ(settings.formHeight(), 500);
}

TEST_F(SettingsFile, KeyOfAnotherSectionIsNotRead)
{
    writeAll(path(), "[CHIP]\nSPEED=5\n[DEVICE]\nLANGU=2\n");
    EXPECT_EQ(Settings(path()).speed(), 0);
}

TEST_F(SettingsFile, FirstWriteCreatesTheSections)
{
    Settings settings(path());
    ASSERT_TRUE(settings.setIndex1(1));
    ASSERT_TRUE(settings.setIndex2(2));
    ASSERT_TRUE(settings.setIndex3(3));
    ASSERT_TRUE(settings.setSpeed(0));
    ASSERT_TRUE(settings.setLanguage(2));
    EXPECT_EQ(readAll(path()), "[CHIP]\nINDEX1=1\nINDEX2=2\nINDEX3=3\n[DEVICE]\nSPEED=0\nLANGU=2\n");
}

TEST_F(SettingsFile, WritingKeepsEveryLineItDoesNotOwn)
{
    const std::string before =
        "; written by hand\r\n"
        "[Environment]\r\n"
        "FormWidth=900\r\n"
        "\r\n"
        "[device]\r\n"
        "chip = 1\r\n"
        "speed=$10\r\n"
        "Extra=keep me\r\n"
        "\r\n"
        "[Other]\r\n"
        "INDEX1=77";
    writeAll(path(), before);
    Settings settings(path());
    ASSERT_TRUE(settings.setSpeed(16));
    ASSERT_TRUE(settings.setLanguage(1));
    ASSERT_TRUE(settings.setIndex1(4));
    EXPECT_EQ(readAll(path()),
        "; written by hand\r\n"
        "[Environment]\r\n"
        "FormWidth=900\r\n"
        "\r\n"
        "[device]\r\n"
        "chip = 1\r\n"
        "speed=16\r\n"
        "Extra=keep me\r\n"
        "LANGU=1\r\n"
        "\r\n"
        "[Other]\r\n"
        "INDEX1=77\r\n"
        "[CHIP]\r\n"
        "INDEX1=4\r\n");
    EXPECT_EQ(settings.deviceChip(), 1);
}

TEST_F(SettingsFile, WriteThatCannotReplaceTheFileFails)
{
    // A folder in the file's place cannot be renamed over, even by root.
    ASSERT_TRUE(QDir(dir.path()).mkdir("belcor.ini"));
    Settings settings(path());
    EXPECT_FALSE(settings.setLanguage(0));
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path())).isDir());
}

TEST(SettingsPath, ReplacesTheExtensionBesideTheExecutable)
{
    EXPECT_EQ(Settings::pathBeside("/opt/belcor/bin/belcor", ".ini"), "/opt/belcor/bin/belcor.ini");
    EXPECT_EQ(Settings::pathBeside("/opt/belcor/prog.exe", ".ini"), "/opt/belcor/prog.ini");
    EXPECT_EQ(Settings::pathBeside("/opt/bel.cor/belcor", ".Dat"), "/opt/bel.cor/belcor.Dat");
}

}  // namespace
