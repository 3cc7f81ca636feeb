#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/GuardedApplication.h"
#include "app/Settings.h"
#include "app/TForm1.h"
#include "core/ProgramVersion.h"
#include "core/RunningExecutable.h"
#include "maint/SimulatorLibrary.h"
#include "link/TUsbBulk.h"

namespace {

constexpr const char* UsageLine = "Usage: belcor [--simulator[=FILE]] [--verbose]\n";

// Answered before the application starts, so without a display.
constexpr const char* HelpText =
    "Desktop application for the BelcorU2 USB chip programmer: reads, blank checks,\n"
    "erases, writes and verifies chips, and edits the chip database.\n"
    "\n"
    "Options:\n"
    "  --simulator[=FILE]  Use the programmer simulator beside the executable, set up by\n"
    "                      the scenario FILE (default: a blank 8 MiB serial flash).\n"
    "  --verbose           Trace the USB link on stderr.\n"
    "  -h, --help          Show this help.\n"
    "  --version           Show the version.\n";

bool asksForHelp(int argc, char** argv)
{
    return argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
}

struct Options {
    bool simulator = false;
    std::string scenario;  // empty: a blank 8 MiB serial flash
    bool verbose = false;
};

Options parseOptions(const QStringList& arguments)
{
    Options options;
    for (const QString& argument : arguments.mid(1)) {
        if (argument == "--simulator") {
            options.simulator = true;
        } else if (argument.startsWith("--simulator=")) {
            options.simulator = true;
            options.scenario = argument.mid(int(strlen("--simulator="))).toStdString();
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else {
            std::fprintf(stderr, "belcor: unknown argument %s\n%s", argument.toLocal8Bit().constData(), UsageLine);
            std::exit(2);
        }
    }
    return options;
}

// Binds the USB and HID bindings to the simulator beside the executable and
// sets up its scenario. Exits with a message when that fails.
std::unique_ptr<SimulatorLibrary> startSimulator(const std::string& executable, const std::string& scenario)
{
    std::string error;
    std::unique_ptr<SimulatorLibrary> simulator = SimulatorLibrary::bind(executable, scenario, error);
    if (simulator)
        return simulator;
    QMessageBox::critical(nullptr, "Error", QString::fromStdString(error));
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv)
{
    if (asksForHelp(argc, argv)) {
        std::printf("%s%s", UsageLine, HelpText);
        return 0;
    }
    if (ProgramVersion::isAsked(argc, argv)) {
        std::fputs(ProgramVersion::text("belcor").c_str(), stdout);
        return 0;
    }
    GuardedApplication application(argc, argv);
    try {
        // Lets Wayland desktops match the window to its desktop entry and icon.
        QGuiApplication::setDesktopFileName("belcor");
        const Options options = parseOptions(QCoreApplication::arguments());
        TUsbBulk::setTraceEnabled(options.verbose);
        const std::string executable = RunningExecutable::path(argv[0]);
        std::unique_ptr<SimulatorLibrary> simulator;
        if (options.simulator)
            simulator = startSimulator(executable, options.scenario);

        TForm1 window(Settings::pathBeside(executable, ".ini"), Settings::pathBeside(executable, ".Dat"),
                      simulator.get());
        application.setLanguageSource([&window] { return window.workbench().languageIndex; });
        window.show();
        const int status = application.exec();
        application.setLanguageSource({});
        return status;
    } catch (...) {
        GuardedApplication::endAfter(std::current_exception(), GuardedApplication::currentLanguage());
    }
}
