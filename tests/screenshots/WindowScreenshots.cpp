// Pictures of the window for the documentation: the first start on an English
// system without a settings file, and in each language the window after Open
// and the search dialog shown again. Saved only when BELCOR_SCREENSHOT_DIR
// names a folder.
#include <QComboBox>
#include <QLocale>
#include <QToolButton>
#include <fstream>

#include "app/BenchWindow.h"
#include "app/Screenshots.h"
#include "support/CaseName.h"
#include "chips/ui/TForm3.h"

namespace {

class WindowScreenshots : public BenchWindow {
protected:
    void SetUp() override
    {
        folder = screenshotFolder();
        if (folder.isEmpty())
            GTEST_SKIP() << "BELCOR_SCREENSHOT_DIR is not set";
        BenchWindow::SetUp();
    }
    void save(QWidget& widget, const QString& name) const { widget.grab().save(folder + "/" + name + ".png"); }

    QString folder;
};

TEST_F(WindowScreenshots, FirstStartOnAnEnglishSystem)
{
    QLocale::setDefault(QLocale("en_US"));
    window = std::make_unique<TForm1>(path("belcor.ini").toStdString(),
                                      (QCoreApplication::applicationDirPath() + "/belcor.Dat").toStdString());
    window->show();
    settle();
    save(*window, "first-start-en-locale");
    QLocale::setDefault(QLocale::c());
}

class WindowScreenshotsInLanguage : public WindowScreenshots, public testing::WithParamInterface<int> {};

TEST_P(WindowScreenshotsInLanguage, AfterOpenAndSearchAgain)
{
    TForm1& form = open(GetParam());
    std::ofstream(path("firmware.bin").toStdString(), std::ios::binary) << std::string(300, '\x5A');
    chooseFileInNextDialog(path("firmware.bin"));
    form.ui.ToolOpen->click();
    settle();
    save(form, "after-open" + languageSuffix(GetParam()));

    TForm3& search = *form.Form3();
    search.findChild<QComboBox*>("ComboBox1")->setEditText("25Q");
    search.show();
    search.hide();
    search.show();
    settle();
    save(search, "search-dialog-reopened" + languageSuffix(GetParam()));
    search.hide();
}

INSTANTIATE_TEST_SUITE_P(Languages, WindowScreenshotsInLanguage, testing::Values(0, 1, 2),
                         [](const auto& info) { return LanguageCaseName(info.param); });

}  // namespace
