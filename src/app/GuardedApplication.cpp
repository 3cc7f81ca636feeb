#include "app/GuardedApplication.h"

#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "core/UnexpectedError.h"

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        endAfter(std::current_exception(), currentLanguage());
    }
}

int GuardedApplication::currentLanguage()
{
    const auto* application = dynamic_cast<GuardedApplication*>(QCoreApplication::instance());
    return application && application->language_ ? application->language_() : 0;
}

void GuardedApplication::endAfter(std::exception_ptr error, int language)
{
    const std::string text = UnexpectedErrorText(error, language);
    std::fprintf(stderr, "belcor: %s\n", text.c_str());
    std::fflush(stderr);
    QMessageBox::critical(nullptr, "Error", QString::fromStdString(text));
    // The state that threw cannot be trusted to tear down cleanly: end here,
    // without running destructors over it.
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}
