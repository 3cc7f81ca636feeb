// Start-up of the main window with the shipped chip database: construction
// (buffers, dialogs, settings), the first show (database load, chip
// selection, captions, first connection check against the simulator) and the
// first paint of the window.

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>

#include "app/TForm1.h"
#include "belcor_sim.h"
#include "link/Libusb0.h"

namespace {

std::filesystem::path executableFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

// Notes that the window has been painted once.
class PaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

void StartupToFirstPaint(benchmark::State& state)
{
    const std::string database = (executableFolder() / "belcor.Dat").string();
    QTemporaryDir dir;
    const std::string settings = dir.filePath("belcor.ini").toStdString();
    for (auto _ : state) {
        belcor_sim_reset();
        auto window = std::make_unique<TForm1>(settings, database);
        PaintWatch watch;
        window->installEventFilter(&watch);
        window->show();
        while (!watch.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // The paint that was seen has finished once the loop is idle again.
        QCoreApplication::processEvents();
        state.PauseTiming();
        window->close();
        window.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(StartupToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    Libusb0::setLibraryPath((executableFolder() / "libbelcor_sim.so").string());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
