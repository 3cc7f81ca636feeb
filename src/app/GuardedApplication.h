#pragma once

#include <QApplication>
#include <exception>
#include <functional>

// The application object of the window. An exception that escapes an event
// handler would otherwise unwind through Qt and end the program without a
// word: it is shown in an error box instead, and then the program ends.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);

    // The language the box speaks; Simplified Chinese until a window says otherwise.
    void setLanguageSource(std::function<int()> language) { language_ = std::move(language); }

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows `error` in an error box (and on stderr), then ends the program
    // with a failure status. Also for what escapes start-up.
    [[noreturn]] static void endAfter(std::exception_ptr error, int language);

    // The language the instance in charge speaks, 0 when there is none.
    static int currentLanguage();

private:
    std::function<int()> language_;
};
