// Hex view timings on the offscreen platform: loading a 64 MiB buffer, painting
// one screen of rows, and the worst frame of paging through a 64 MiB view.

#include "hexview/HexView.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string_view>
#include <vector>

namespace {

constexpr uint32_t FlashBytes = 64u << 20;
const QSize Screen(800, 600);

const std::vector<uint8_t>& flashImage()
{
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> image(FlashBytes);
        for (uint32_t i = 0; i < FlashBytes; ++i)
            image[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
        return image;
    }();
    return bytes;
}

// The machine is shared: the thread's own CPU time shows what a frame costs
// even when other work takes the cores away.
double threadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

void pressKey(HexView& view, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&view, &press);
}

void prepare(HexView& view)
{
    view.resize(Screen);
    view.setRulerVisible(true);
    view.setOffsetPrefix(QStringLiteral("00"));
    view.show();
}

// A view that has never held data: the first load also allocates its block.
void LoadIntoNewView(benchmark::State& state)
{
    const auto& bytes = flashImage();
    for (auto _ : state) {
        state.PauseTiming();
        {
            HexView view;
            prepare(view);
            state.ResumeTiming();
            view.load(bytes.data(), FlashBytes);
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * FlashBytes);
}
BENCHMARK(LoadIntoNewView)->Unit(benchmark::kMillisecond)->Iterations(10);

// Reloading a view of the same size, as every chip read and file load does.
void ReloadView(benchmark::State& state)
{
    const auto& bytes = flashImage();
    HexView view;
    prepare(view);
    view.load(bytes.data(), FlashBytes);
    for (auto _ : state)
        view.load(bytes.data(), FlashBytes);
    state.SetBytesProcessed(int64_t(state.iterations()) * FlashBytes);
}
BENCHMARK(ReloadView)->Unit(benchmark::kMillisecond)->Iterations(20);

// One full screen of rows with marks, a selection and the caret, rendered
// into an image; range(0) scrolls to the middle of the view first.
void PaintScreen(benchmark::State& state)
{
    HexView view;
    prepare(view);
    view.load(flashImage().data(), FlashBytes);
    if (state.range(0))
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2);
    view.setCursorPosition(static_cast<uint32_t>(view.firstVisibleRow()) * 16 + 40);
    for (const char* digits : {"DE", "AD", "BE", "EF"})
        for (const char* digit = digits; *digit; ++digit)
            pressKey(view, *digit, Qt::NoModifier, QString(QChar(*digit)));
    for (int i = 0; i < 20; ++i)
        pressKey(view, Qt::Key_Right, Qt::ShiftModifier);
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.viewport()->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["rows"] = view.visibleRowCount();
}
BENCHMARK(PaintScreen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Paging through a 64 MiB view: one frame is a PageDown key and the repaint
// it causes. All 4 Mi rows take minutes, so by default the run takes the first
// `range(0)` pages, as many around the middle and the last ones up to and past
// the end; with --whole-view a second run walks the whole view.
// Reports the worst and the mean frame.
void PageDownFrames(benchmark::State& state)
{
    HexView view;
    prepare(view);
    view.load(flashImage().data(), FlashBytes);
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const int pages = static_cast<int>(state.range(0));
    const uint32_t pageBytes = static_cast<uint32_t>(view.visibleRowCount()) * 16;
    double worst = 0;
    double worstCpu = 0;
    double total = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        const std::vector<uint32_t> starts = pages == 0 ? std::vector<uint32_t>{0u}
                                                        : std::vector<uint32_t>{0u, FlashBytes / 2, FlashBytes - (pages - 2) * pageBytes};
        const int steps = pages == 0 ? static_cast<int>(FlashBytes / pageBytes) + 1 : pages;
        for (uint32_t start : starts) {
            view.setCursorPosition(start);
            for (int page = 0; page < steps; ++page) {
                const auto begin = std::chrono::steady_clock::now();
                const double beginCpu = threadMilliseconds();
                pressKey(view, Qt::Key_PageDown);
                view.viewport()->render(&image);
                const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
                worst = std::max(worst, ms);
                worstCpu = std::max(worstCpu, threadMilliseconds() - beginCpu);
                total += ms;
                ++frames;
            }
        }
    }
    if (view.cursorPosition() != FlashBytes - 1)
        state.SkipWithError("paging did not reach the last byte");
    state.counters["worst_frame_ms"] = worst;
    state.counters["worst_frame_cpu_ms"] = worstCpu;
    state.counters["mean_frame_ms"] = total / double(frames);
    state.counters["frames"] = double(frames);
}
BENCHMARK(PageDownFrames)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    char** kept = std::remove_if(argv + 1, argv + argc, [](const char* argument) {
        return std::string_view(argument) == "--whole-view";
    });
    if (kept != argv + argc) {
        benchmark::RegisterBenchmark("PageDownFrames/whole", PageDownFrames)
            ->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);
        argc = static_cast<int>(kept - argv);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
