// The job editor, typed into as a production engineer would.
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "chips/ChipCatalogue.h"
#include "core/MessageCatalogue.h"
#include "core/Workbench.h"
#include "production/EngineerPin.h"
#include "production/JobFile.h"
#include "production/JobSetup.h"
#include "production/ProductionFixture.h"
#include "production/ui/EngineerPinPrompt.h"
#include "production/ui/JobEditor.h"
#include "production/ui/OperatorPrompt.h"

namespace {

class JobEditorTest : public ProductionFixture {
protected:
    void SetUp() override
    {
        ProductionFixture::SetUp();
        writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
        selectChipAndLoad("image.bin");
        editor = std::make_unique<JobEditor>(workbench.catalogue, AutoOptions{}, English, nullptr);
        editor->setJobPath(path("line.belcorjob"));
        editor->show();
        type("ImagePath", path("image.bin"));
    }
    void TearDown() override
    {
        editor.reset();
        ProductionFixture::TearDown();
    }

    template <typename T>
    T* field(const char* name)
    {
        T* found = editor->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void type(const char* name, const std::string& text)
    {
        QLineEdit* edit = field<QLineEdit>(name);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, QString::fromStdString(text));
    }
    void tick(const char* name)
    {
        if (auto* group = editor->findChild<QGroupBox*>(name))
            group->setChecked(true);
        else
            QTest::mouseClick(field<QCheckBox>(name), Qt::LeftButton, {}, QPoint(4, 4));
    }
    QPushButton* save() { return field<QDialogButtonBox>("Buttons")->button(QDialogButtonBox::Save); }
    // Serial numbers "SN" and six digits at 0x10.
    void serialRule()
    {
        tick("SerialGroup");
        type("SerialAddress", "10");
        field<QSpinBox>("SerialWidth")->setValue(8);
        field<QComboBox>("SerialForm")->setCurrentText("dec");
        type("SerialPrefix", "SN");
    }

    std::unique_ptr<JobEditor> editor;
};

struct Invalid {
    const char* name;
    std::vector<std::pair<const char*, const char*>> typed;  // field, text ("" ticks a box)
    const char* reasonLabel;
    const char* reason;
};

class JobEditorValidation : public JobEditorTest, public testing::WithParamInterface<Invalid> {};

TEST_P(JobEditorValidation, MarksTheFieldWithItsReasonAndKeepsSaveOff)
{
    ASSERT_TRUE(save()->isEnabled()) << field<QLabel>("JobProblem")->text().toStdString();
    for (const auto& [name, text] : GetParam().typed) {
        if (*text)
            type(name, text);
        else
            tick(name);
    }
    auto* reason = field<QLabel>(GetParam().reasonLabel);
    EXPECT_FALSE(reason->isHidden());
    EXPECT_TRUE(reason->text().startsWith(GetParam().reason)) << reason->text().toStdString();
    EXPECT_FALSE(save()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, JobEditorValidation,
    testing::Values(
        Invalid{"NoImage", {{"ImagePath", " "}}, "ImageProblem", "Choose the image file."},
        Invalid{"MissingImage", {{"ImagePath", "/nowhere/image.bin"}}, "ImageProblem", ""},
        Invalid{"RangeNotHex", {{"RangeEnabled", ""}, {"RangeStart", "zz"}}, "RangeProblem", "Not a number: zz"},
        Invalid{"RangeBackwards", {{"RangeEnabled", ""}, {"RangeStart", "0x2000"}, {"RangeEnd", "0x1000"}},
                "RangeProblem", "The start lies after the end."},
        Invalid{"SerialBeyondTheImage", {{"SerialGroup", ""}, {"SerialAddress", "0x2000"}}, "SerialProblem", ""},
        Invalid{"SerialStepNotANumber", {{"SerialGroup", ""}, {"SerialAddress", "10"}, {"SerialStep", "two"}},
                "SerialProblem", "Not a number: Step"},
        Invalid{"SerialFirstEmpty", {{"SerialGroup", ""}, {"SerialAddress", "10"}, {"SerialFirst", " "}},
                "SerialProblem", "Not a number: First"},
        Invalid{"PinTooShort", {{"Pin", "12"}}, "PinProblem", "An engineer PIN has 4 to 64 characters"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(JobEditorTest, PreviewShowsTheNextThreeNumbersAsTheirBytes)
{
    serialRule();
    type("SerialFirst", "41");
    type("SerialStep", "2");
    const QString preview = field<QLabel>("SerialPreview")->text();
    for (const char* line : {"SN000041  →  53 4E 30 30 30 30 34 31", "SN000043  →  53 4E 30 30 30 30 34 33",
                             "SN000045  →  53 4E 30 30 30 30 34 35"})
        EXPECT_TRUE(preview.contains(QString::fromUtf8(line))) << preview.toStdString();
    // A prefix that leaves no room for a digit is the rule's fault.
    type("SerialPrefix", "SERIAL01");
    EXPECT_TRUE(field<QLabel>("SerialProblem")->text().startsWith("The serial-number rule cannot be used"));
    EXPECT_FALSE(save()->isEnabled());
}

// Only the field at fault is framed, and the reason names it; the others of
// the group stay as they were.
TEST_F(JobEditorTest, MarksOnlyTheSerialFieldAtFault)
{
    tick("SerialGroup");
    EXPECT_EQ(field<QLabel>("SerialProblem")->text(), "Not a number: Address");
    EXPECT_FALSE(field<QLineEdit>("SerialAddress")->styleSheet().isEmpty());
    for (const char* other : {"SerialGroup", "SerialFirst", "SerialStep", "SerialPrefix", "SerialWidth"})
        EXPECT_TRUE(field<QWidget>(other)->styleSheet().isEmpty()) << other;
    type("SerialAddress", "10");
    EXPECT_TRUE(field<QLineEdit>("SerialAddress")->styleSheet().isEmpty());
}

// A text form's prefix takes bytes of the width: an error of width says so.
TEST_F(JobEditorTest, WidthErrorCountsThePrefix)
{
    serialRule();
    type("SerialFirst", "1234567");
    const QString problem = field<QLabel>("SerialProblem")->text();
    EXPECT_TRUE(problem.contains("does not fit in 8 bytes")) << problem.toStdString();
    EXPECT_TRUE(problem.endsWith("(the prefix \"SN\" takes 2 of them)")) << problem.toStdString();
    EXPECT_FALSE(field<QSpinBox>("SerialWidth")->styleSheet().isEmpty());
}

// A range not chosen is the chip's whole, also after the chip changes.
TEST_F(JobEditorTest, RangeNotChosenFollowsTheChip)
{
    EXPECT_EQ(field<QLineEdit>("RangeEnd")->text(), "0x00FFFF");
    QTest::keyClicks(field<QLineEdit>("ChipFind"), "A25L010");
    ASSERT_TRUE(field<QComboBox>("ChipList")->currentText().endsWith("A25L010"));
    EXPECT_EQ(field<QLineEdit>("RangeEnd")->text(), "0x01FFFF");
    EXPECT_FALSE(field<QLineEdit>("RangeEnd")->isEnabled());
}

// Saved as `job create` writes it; Edit job shows the same job again, its
// PIN kept unless a new one is typed.
TEST_F(JobEditorTest, SavesTheJobAndEditShowsItAgain)
{
    serialRule();
    field<QSpinBox>("Target")->setValue(500);
    type("Note", "Board rev C");
    tick("Locked");
    tick("OperatorRequired");
    type("Pin", "4711");
    const QString info = field<QLabel>("ImageInfo")->text();
    EXPECT_TRUE(info.startsWith("4096 bytes at 0x000000–0x000FFF, CRC-32 ")) << info.toStdString();
    QTest::mouseClick(save(), Qt::LeftButton);
    EXPECT_EQ(editor->result(), QDialog::Accepted);

    const JobFileRead read = JobFile::read(path("line.belcorjob"));
    ASSERT_TRUE(read.job) << read.error;
    const ProductionJob& job = *read.job;
    EXPECT_EQ(job.target, 500);
    EXPECT_EQ(job.note, "Board rev C");
    EXPECT_TRUE(job.locked && job.operatorRequired);
    EXPECT_TRUE(job.pin->matches("4711"));
    EXPECT_EQ(job.serial->describe(), "0x10:8:dec:1:1");
    EXPECT_TRUE(info.endsWith(QString::fromStdString(job.expected.crc32Text())));
    EXPECT_EQ(job.chip.cells[ChipRow::Name], "A25L512");

    JobEditor again(workbench.catalogue, AutoOptions{}, English, nullptr);
    again.editJob(job, path("line.belcorjob"));
    EXPECT_EQ(again.windowTitle(), "Edit job line");
    const std::optional<ProductionJob> shown = again.job();
    ASSERT_TRUE(shown);
    EXPECT_EQ(JobFile::text(*shown), JobFile::text(job));
}

TEST_F(JobEditorTest, ProtectAfterProgrammingIsSavedAndShownAgain)
{
    tick("ProtectAfter");
    ASSERT_TRUE(editor->save()) << field<QLabel>("JobProblem")->text().toStdString();
    const JobFileRead read = JobFile::read(path("line.belcorjob"));
    ASSERT_TRUE(read.job) << read.error;
    EXPECT_TRUE(read.job->options.protect);

    JobEditor again(workbench.catalogue, AutoOptions{}, English, nullptr);
    again.editJob(*read.job, path("line.belcorjob"));
    const std::optional<ProductionJob> shown = again.job();
    ASSERT_TRUE(shown);
    EXPECT_EQ(JobFile::text(*shown), JobFile::text(*read.job));
}

// The editor shows the first image's file; the job's further images and the
// first's address stay as they were when it is saved again.
TEST_F(JobEditorTest, EditKeepsTheJobsFurtherImages)
{
    writeFile("app.bin", std::vector<uint8_t>(0x800, 0x22));
    const std::vector<ImagePlacement> images{{path("image.bin"), 0x0}, {path("app.bin"), 0x8000}};
    ASSERT_EQ(LoadJobImages(workbench, images).error, "");
    std::string error;
    const std::optional<ProductionJob> made = CreateJob(workbench, path("two.belcorjob"), images, JobChoices{}, error);
    ASSERT_TRUE(made) << error;

    JobEditor again(workbench.catalogue, AutoOptions{}, English, nullptr);
    again.editJob(*made, path("two.belcorjob"));
    const std::optional<ProductionJob> shown = again.job();
    ASSERT_TRUE(shown);
    EXPECT_EQ(JobFile::text(*shown), JobFile::text(*made));
}

// An edited job shows each value field's first values in every language, and
// saving it keeps the fields. With BELCOR_SCREENSHOT_DIR set, it is pictured
// under production/.
TEST_F(JobEditorTest, EditedJobShowsItsFirstValuesAndKeepsItsFields)
{
    writeFile("keys.txt", {'k', '1', '\n', 'k', '2', '\n'});
    JobChoices choices;
    std::string error;
    choices.values = {*ParseMacField("0x20:02:00:5E:10:00:FE:02:00:5E:10:01:FF", error),
                      *ParseListField(path("keys.txt") + ":0x40:ascii", error)};
    const std::optional<ProductionJob> job =
        CreateJob(workbench, path("line.belcorjob"), path("image.bin"), choices, error);
    ASSERT_TRUE(job) << error;
    const QString folder = qEnvironmentVariable("BELCOR_SCREENSHOT_DIR");
    for (const auto& [language, name] : {std::pair{English, "en"}, std::pair{SimplifiedChinese, "zh_CN"},
                                         std::pair{TraditionalChinese, "zh_TW"}}) {
        JobEditor shown(workbench.catalogue, AutoOptions{}, language, nullptr);
        shown.editJob(*job, path("line.belcorjob"));
        shown.show();
        const QString preview = shown.findChild<QLabel*>("ValuePreview")->text();
        EXPECT_TRUE(preview.contains("02:00:5E:10:00:FE, 02:00:5E:10:00:FF, 02:00:5E:10:01:00")) << preview.toStdString();
        EXPECT_TRUE(preview.contains("keys.txt@0x40:  k1, k2")) << preview.toStdString();
        const std::optional<ProductionJob> kept = shown.job();
        ASSERT_TRUE(kept);
        EXPECT_EQ(JobFile::text(*kept), JobFile::text(*job));
        if (!folder.isEmpty()) {
            QDir().mkpath(folder + "/production");
            shown.resize(shown.sizeHint());
            shown.grab().save(QString("%1/production/job-editor-values-%2.png").arg(folder, name));
        }
    }
}

// The editor and the prompts fit a 1280×800 screen (below a panel) in every
// language, with every label's text whole. With BELCOR_SCREENSHOT_DIR set, each
// is pictured centred on screens of 1280×800 and 1920×1080 under production/.
TEST_F(JobEditorTest, DialogsFitASmallScreenInEveryLanguage)
{
    const QString folder = qEnvironmentVariable("BELCOR_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        QDir().mkpath(folder + "/production");
    const auto picture = [&](QWidget& dialog, const QString& name, const char* language) {
        // A group box relays its own layout only on its posted layout request; sized before
        // that, the dialog keeps the group's height from before the last text change.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        dialog.resize(dialog.sizeHint().expandedTo(dialog.minimumSize()));
        EXPECT_LE(dialog.height(), 760) << name.toStdString() << " " << language;
        EXPECT_LE(dialog.width(), 1280) << name.toStdString() << " " << language;
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label->isVisible() && !label->text().isEmpty()) {
                EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                    << name.toStdString() << " " << language << " " << label->objectName().toStdString();
            }
        }
        if (folder.isEmpty())
            return;
        const QPixmap shot = dialog.grab();
        for (const QSize screen : {QSize(1280, 800), QSize(1920, 1080)}) {
            QPixmap canvas(screen);
            canvas.fill(QColor("#3b4252"));
            QPainter painter(&canvas);
            painter.drawPixmap((screen.width() - shot.width()) / 2, (screen.height() - shot.height()) / 2, shot);
            painter.end();
            canvas.save(QString("%1/production/%2-%3x%4-%5.png")
                            .arg(folder, name)
                            .arg(screen.width())
                            .arg(screen.height())
                            .arg(language));
        }
    };
    const EngineerPin pin = *EngineerPin::of("4711", EngineerPin::LeastIterations);
    for (const auto& [language, name] : {std::pair{English, "en"}, std::pair{SimplifiedChinese, "zh_CN"},
                                         std::pair{TraditionalChinese, "zh_TW"}}) {
        JobEditor shown(workbench.catalogue, AutoOptions{}, language, nullptr);
        shown.show();
        QTest::keyClicks(shown.findChild<QLineEdit*>("ImagePath"), QString::fromStdString(path("image.bin")));
        shown.findChild<QGroupBox*>("SerialGroup")->setChecked(true);
        QTest::keyClicks(shown.findChild<QLineEdit*>("SerialAddress"), "10");
        QTest::keyClicks(shown.findChild<QLineEdit*>("SerialPrefix"), "SN");
        shown.findChild<QComboBox*>("SerialForm")->setCurrentText("dec");
        shown.findChild<QSpinBox*>("SerialWidth")->setValue(8);
        QTest::keyClicks(shown.findChild<QLineEdit*>("Note"), "Board rev C");
        QTest::keyClicks(shown.findChild<QLineEdit*>("Pin"), "12");
        shown.findChild<QCheckBox*>("ProtectAfter")->setChecked(true);
        picture(shown, "job-editor", name);

        EngineerPinPrompt asked(pin, "line", language, nullptr);
        asked.show();
        picture(asked, "engineer-pin", name);
        OperatorPrompt named("Badge 0042", true, language, nullptr);
        named.show();
        picture(named, "operator", name);
    }
}

}  // namespace
