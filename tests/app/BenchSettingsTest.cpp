#include <gtest/gtest.h>

#include <QLocale>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>

#include "app/Settings.h"
#include "core/MessageCatalogue.h"

namespace {

struct LocaleCase {
    const char* name;
    const char* locale;
    int32_t language;
};

class FirstStartLanguage : public testing::TestWithParam<LocaleCase> {};

TEST_P(FirstStartLanguage, FollowsTheLocale)
{
    EXPECT_EQ(Settings::languageForLocale(GetParam().locale), GetParam().language);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, FirstStartLanguage,
    testing::Values(LocaleCase{"Mainland", "zh_CN", SimplifiedChinese},
                    LocaleCase{"Singapore", "zh_SG", SimplifiedChinese},
                    LocaleCase{"MainlandWithCharset", "zh_CN.UTF-8", SimplifiedChinese},
                    LocaleCase{"Taiwan", "zh_TW", TraditionalChinese},
                    LocaleCase{"HongKong", "zh_HK", TraditionalChinese},
                    LocaleCase{"Macao", "zh_MO.UTF-8", TraditionalChinese},
                    LocaleCase{"HyphenForm", "zh-TW", TraditionalChinese},
                    LocaleCase{"ChineseElsewhere", "zh", English},
                    LocaleCase{"German", "de_DE", English},
                    LocaleCase{"Posix", "C", English}),
    [](const auto& info) { return std::string(info.param.name); });

class BenchSettingsTest : public testing::Test {
protected:
    std::string path() const { return dir.filePath("belcor.ini").toStdString(); }
    std::string content() const
    {
        std::ifstream in(path());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    QTemporaryDir dir;
};

TEST_F(BenchSettingsTest, StoredLanguageWinsOverTheLocale)
{
    QLocale::setDefault(QLocale("zh_TW"));
    Settings settings(path());
    EXPECT_EQ(settings.language(), TraditionalChinese);
    std::ofstream(path()) << "[DEVICE]\nLANGU=2\n";
    EXPECT_EQ(settings.language(), English);
    QLocale::setDefault(QLocale::c());
}

TEST_F(BenchSettingsTest, PlacementFiltersAndRecentFilesRoundTripKeepingForeignLines)
{
    const std::string foreign = "; kept\n[DEVICE]\nLANGU=1\nodd = spacing \n";
    std::ofstream(path()) << foreign;
    Settings settings(path());
    EXPECT_FALSE(settings.windowPlacement());
    ASSERT_TRUE(settings.setWindowPlacement({-20, 35, 900, 640, true}));
    ASSERT_TRUE(settings.setOpenFilter("Intel Hex(*.hex)"));
    ASSERT_TRUE(settings.setRecentFiles({"/a/b.bin", "/c d/e.hex"}));

    const auto placement = settings.windowPlacement();
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->left, -20);
    EXPECT_EQ(placement->top, 35);
    EXPECT_EQ(placement->width, 900);
    EXPECT_EQ(placement->height, 640);
    EXPECT_TRUE(placement->maximized);
    EXPECT_EQ(settings.openFilter(), "Intel Hex(*.hex)");
    EXPECT_EQ(settings.saveFilter(), "");
    EXPECT_EQ(settings.recentFiles(), (std::vector<std::string>{"/a/b.bin", "/c d/e.hex"}));
    EXPECT_EQ(content().substr(0, foreign.size()), foreign);
}

}  // namespace
