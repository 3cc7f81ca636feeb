#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>

#include "app/GuardedApplication.h"
#include "core/MessageCatalogue.h"

namespace {

// Closes the box that endAfter shows and tells its text on stderr, so that the
// parent process of the death test can see it.
void answerTheBox()
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "box: %s\n", box->text().toStdString().c_str());
            box->done(QMessageBox::Ok);
        }
    });
    timer->start(5);
}

struct EscapeCase {
    const char* name;
    std::exception_ptr error;
    int language;
    const char* shown;
};

class EscapedException : public testing::TestWithParam<EscapeCase> {};

TEST_P(EscapedException, IsShownInABoxThenTheProgramEnds)
{
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            answerTheBox();
            GuardedApplication::endAfter(GetParam().error, GetParam().language);
        },
        testing::ExitedWithCode(1), std::string("box: ") + GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, EscapedException,
    testing::Values(EscapeCase{"OutOfMemory", std::make_exception_ptr(std::bad_alloc()), English,
                               "The program ran out of memory and must end."},
                    EscapeCase{"RuntimeError", std::make_exception_ptr(std::runtime_error("disk gone")), English,
                               "An unexpected error ended the program: disk gone"},
                    EscapeCase{"NotAnException", std::make_exception_ptr(42), English,
                               "An unexpected error ended the program: unknown exception"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
