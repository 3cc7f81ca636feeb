// The engineer's PIN prompt and the operator's prompt, driven by keys and clicks.
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>

#include <gtest/gtest.h>

#include "core/MessageCatalogue.h"
#include "core/OwnSettings.h"
#include "production/EngineerPin.h"
#include "production/ProductionJob.h"
#include "production/ui/EngineerPinPrompt.h"
#include "production/ui/OperatorPrompt.h"

namespace {

QPushButton* okOf(QDialog& dialog)
{
    return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

// The station's clock stands still unless the test moves it.
class PinPromptTest : public testing::Test {
protected:
    void SetUp() override
    {
        EngineerPinPrompt::throttle().setClock([this] { return now; });
        EngineerPinPrompt::throttle().passed();
    }
    // The station's clock again, with no wait left over for other tests.
    void TearDown() override
    {
        now += PinThrottle::WaitMs;
        EngineerPinPrompt::throttle().passed();
        EngineerPinPrompt::throttle().setClock([] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        });
    }
    void enter(EngineerPinPrompt& prompt, const char* pin)
    {
        QTest::keyClicks(prompt.findChild<QLineEdit*>("PinEntry"), pin);
        QTest::mouseClick(okOf(prompt), Qt::LeftButton);
    }

    int64_t now = 0;
    EngineerPin pin = *EngineerPin::of("4711", EngineerPin::LeastIterations);
};

TEST_F(PinPromptTest, ThreeWrongPinsWaitThirtySecondsEvenInANewPrompt)
{
    {
        EngineerPinPrompt prompt(pin, "line", English, nullptr);
        prompt.show();
        enter(prompt, "1234");
        enter(prompt, "0000");
        EXPECT_FALSE(prompt.isHidden());
        EXPECT_EQ(prompt.findChild<QLabel*>("PinProblem")->text(), "Wrong PIN.");
    }
    EngineerPinPrompt prompt(pin, "line", English, nullptr);
    prompt.show();
    enter(prompt, "9999");
    EXPECT_EQ(prompt.findChild<QLabel*>("PinProblem")->text(), "Too many wrong PINs. Try again in 30 s.");
    QTest::keyClicks(prompt.findChild<QLineEdit*>("PinEntry"), "4711");
    EXPECT_FALSE(okOf(prompt)->isEnabled());
    QTest::keyClick(prompt.findChild<QLineEdit*>("PinEntry"), Qt::Key_Return);
    EXPECT_EQ(prompt.result(), QDialog::Rejected);

    now += PinThrottle::WaitMs - 1000;
    QTest::keyClick(prompt.findChild<QLineEdit*>("PinEntry"), Qt::Key_Backspace);
    EXPECT_EQ(prompt.findChild<QLabel*>("PinProblem")->text(), "Too many wrong PINs. Try again in 1 s.");
    now += 1000;
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompt.findChild<QLabel*>("PinProblem")->text().isEmpty(); }, 2000));
    QTest::keyClick(prompt.findChild<QLineEdit*>("PinEntry"), Qt::Key_1);
    QTest::mouseClick(okOf(prompt), Qt::LeftButton);
    EXPECT_EQ(prompt.result(), QDialog::Accepted);
}

TEST(PinPrompt, AJobWithoutPinAsksNothing)
{
    EXPECT_TRUE(EngineerPinPrompt::confirm(ProductionJob{}, English, nullptr));
}

// Answers the next prompt with `name` typed over what it offers.
void answerOperator(const QString& name, bool& okEnabledWhenEmpty)
{
    QTimer::singleShot(0, [name, &okEnabledWhenEmpty] {
        auto* prompt = qobject_cast<OperatorPrompt*>(QApplication::activeModalWidget());
        ASSERT_NE(prompt, nullptr);
        auto* entry = prompt->findChild<QLineEdit*>("OperatorEntry");
        entry->clear();
        okEnabledWhenEmpty = okOf(*prompt)->isEnabled();
        QTest::keyClicks(entry, name);
        QTest::keyClick(entry, Qt::Key_Return);
    });
}

TEST(OperatorPromptTest, RemembersTheOperatorAndARequiredOneCannotStayEmpty)
{
    const QTemporaryDir folder;
    OwnSettings remembered((folder.path() + "/belcor.conf").toStdString());
    bool okWhenEmpty = true;
    answerOperator("  Badge 0042 ", okWhenEmpty);
    EXPECT_EQ(OperatorPrompt::ask(remembered, true, English, nullptr), "Badge 0042");
    EXPECT_FALSE(okWhenEmpty);

    QTimer::singleShot(0, [] {
        auto* prompt = qobject_cast<OperatorPrompt*>(QApplication::activeModalWidget());
        ASSERT_NE(prompt, nullptr);
        EXPECT_EQ(prompt->findChild<QLineEdit*>("OperatorEntry")->text(), "Badge 0042");
        prompt->reject();
    });
    EXPECT_EQ(OperatorPrompt::ask(remembered, false, English, nullptr), std::nullopt);

    answerOperator("", okWhenEmpty);
    EXPECT_EQ(OperatorPrompt::ask(remembered, false, English, nullptr), "");
    EXPECT_TRUE(okWhenEmpty);
}

}  // namespace
