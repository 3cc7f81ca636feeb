#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstring>
#include <memory>

#include "buffers/ui/TForm4.h"
#include "ops/OwnedWorkbench.h"
#include "support/RecordingHost.h"

namespace {

class FillDialog : public ::testing::Test {
protected:
    FillDialog() : workbench(std::make_unique<OwnedWorkbench>()), dialog(*workbench, host) {}

    template <typename T>
    T* child(const char* name) { return dialog.findChild<T*>(name); }

    void type(QLineEdit* field, const QString& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        for (const QChar c : text) {
            const int key = c.toUpper().unicode();
            QKeyEvent press(QEvent::KeyPress, key, modifiers, modifiers ? QString() : QString(c));
            QApplication::sendEvent(field, &press);
        }
    }

    std::unique_ptr<OwnedWorkbench> workbench;
    RecordingHost host;
    TForm4 dialog;
};

TEST_F(FillDialog, StartsWithItsDesignContents)
{
    EXPECT_TRUE(child<QRadioButton>("RadioButton1")->isChecked());
    const std::pair<const char*, std::pair<const char*, int>> fields[] = {
        {"Edit1", {"FF", 2}}, {"Edit2", {"FFFF", 4}}, {"Edit3", {"00000", 32767}}, {"Edit4", {"FFFF", 32767}}};
    for (const auto& [name, expected] : fields) {
        ASSERT_NE(child<QLineEdit>(name), nullptr) << name;
        EXPECT_EQ(child<QLineEdit>(name)->text(), expected.first);
        EXPECT_EQ(child<QLineEdit>(name)->maxLength(), expected.second);
    }
}

TEST_F(FillDialog, FieldsTakeHexDigitsInUpperCase)
{
    QLineEdit* start = child<QLineEdit>("Edit3");
    start->clear();
    type(start, "g a-b");
    EXPECT_EQ(start->text(), "AB");

    QApplication::clipboard()->setText("cd");
    type(start, "v", Qt::ControlModifier);
    EXPECT_EQ(start->text(), "AB");

    // The context menu's Paste bypasses the key filter but not the upper case.
    start->paste();
    EXPECT_EQ(start->text(), "ABCD");
}

TEST_F(FillDialog, OkFillsAndStaysOpen)
{
    child<QRadioButton>("RadioButton2")->setChecked(true);
    child<QLineEdit>("Edit2")->setText("ABCD");
    child<QLineEdit>("Edit3")->setText("1");
    child<QLineEdit>("Edit4")->setText("4");
    dialog.show();
    child<QPushButton>("BitBtn1")->click();
    child<QPushButton>("BitBtn1")->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(host.flashBufferChanges, (std::vector<uint32_t>{5, 5}));
    const uint8_t expected[] = {0xFF, 0xAB, 0xCD, 0xAB, 0xCD};
    EXPECT_EQ(std::memcmp(workbench->buffers.flash(), expected, 5), 0);
    child<QPushButton>("BitBtn2")->click();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(FillDialog, EndFieldFollowsTheChip)
{
    dialog.resetEndAddress(0x40000);
    EXPECT_EQ(child<QLineEdit>("Edit4")->text(), "3FFFF");
}

TEST_F(FillDialog, CaptionsInEveryLanguage)
{
    dialog.ApplyLanguage(2);
    EXPECT_EQ(dialog.windowTitle(), "Fill");
    EXPECT_EQ(child<QGroupBox>("GroupBox1")->title(), "Data");
    EXPECT_EQ(child<QRadioButton>("RadioButton1")->text(), "Byte(8bits)");
    EXPECT_EQ(child<QLabel>("Label2")->text(), "End ADDR");
    EXPECT_EQ(child<QPushButton>("BitBtn2")->text(), "Cance");

    dialog.ApplyLanguage(7);
    EXPECT_EQ(dialog.windowTitle(), "Fill");

    dialog.ApplyLanguage(1);
    EXPECT_EQ(child<QGroupBox>("GroupBox2")->title(), QString::fromUtf8("範圍"));
    dialog.ApplyLanguage(0);
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("填充"));
    EXPECT_EQ(child<QPushButton>("BitBtn1")->text(), QString::fromUtf8("确定"));
}

}  // namespace
