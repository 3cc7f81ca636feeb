#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/GuardedApplication.h"
#include "app/Settings.h"
#include "app/TForm1.h"
#include "core/RunningExecutable.h"
#include "maint/SimulatorLibrary.h"
#include "link/TUsbBulk.h"

namespace {

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
            std::fprintf(stderr, "belcor: unknown argument %s\nUsage: belcor [--simulator[=FILE]] [--verbose]\n",
                         argument.toLocal8Bit().constData());
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
