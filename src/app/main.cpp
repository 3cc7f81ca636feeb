#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/Settings.h"
#include "app/SimulatorControl.h"
#include "app/TForm1.h"
#include "link/Libusb0.h"
#include "link/TUsbBulk.h"
#include "maint/HidApi.h"

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
std::unique_ptr<SimulatorControl> startSimulator(const std::string& scenario)
{
    const std::string library = QCoreApplication::applicationDirPath().toStdString() + "/libbelcor_sim.so";
    Libusb0::setLibraryPath(library);
    HidApi::setLibraryPath(library);
    std::string error;
    std::unique_ptr<SimulatorControl> simulator = SimulatorControl::open(library, error);
    if (simulator && simulator->loadScenario(scenario, error))
        return simulator;
    QMessageBox::critical(nullptr, "Error", QString::fromStdString(error));
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const Options options = parseOptions(QCoreApplication::arguments());
    TUsbBulk::setTraceEnabled(options.verbose);
    std::unique_ptr<SimulatorControl> simulator;
    if (options.simulator)
        simulator = startSimulator(options.scenario);

    const std::string executable = QCoreApplication::applicationFilePath().toStdString();
    TForm1 window(Settings::pathBeside(executable, ".ini"), Settings::pathBeside(executable, ".Dat"),
                  simulator.get());
    window.show();
    return application.exec();
}
