// The bench tools over a full 64 MiB FLASH buffer: Find of an absent pattern,
// all checksums (SHA-256 alone, and the whole set the dialog shows), compare
// with a file on disk (load included), and Go to address to the last row of
// a 64 MiB view with the frame it paints.

#include "buffers/BufferCompare.h"
#include "buffers/ByteSearch.h"
#include "buffers/Checksums.h"
#include "buffers/FileComparison.h"
#include "hexview/HexView.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

constexpr uint32_t FlashBytes = 64u << 20;

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

// An erased chip: the worst case for a pattern starting with 0xFF.
const std::vector<uint8_t>& erasedImage()
{
    static const std::vector<uint8_t> bytes(FlashBytes, 0xFF);
    return bytes;
}

void FindAbsentPattern(benchmark::State& state)
{
    const auto& data = state.range(0) ? erasedImage() : flashImage();
    const std::vector<uint8_t> pattern = {0xFF, 0xFF, 0x12, 0x34, 0x56, 0x78, 0x9A};
    for (auto _ : state) {
        const auto found = FindForward(data, pattern, 0);
        if (found)
            state.SkipWithError("the pattern was found");
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * FlashBytes);
}
BENCHMARK(FindAbsentPattern)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void FindBackwardAbsentPattern(benchmark::State& state)
{
    const std::vector<uint8_t> pattern = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    for (auto _ : state)
        benchmark::DoNotOptimize(FindBackward(flashImage(), pattern, FlashBytes));
    state.SetBytesProcessed(int64_t(state.iterations()) * FlashBytes);
}
BENCHMARK(FindBackwardAbsentPattern)->Unit(benchmark::kMillisecond);

void Sha256Only(benchmark::State& state)
{
    for (auto _ : state) {
        unsigned char digest[32];
        unsigned int length = 0;
        EVP_Digest(flashImage().data(), FlashBytes, digest, &length, EVP_sha256(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * FlashBytes);
}
BENCHMARK(Sha256Only)->Unit(benchmark::kMillisecond);

// What the Checksums dialog computes in one pass, in its 1 MiB steps.
void AllChecksums(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ChecksumsOf(flashImage().data(), FlashBytes, [](size_t) { return true; }));
    state.SetBytesProcessed(int64_t(state.iterations()) * FlashBytes);
}
BENCHMARK(AllChecksums)->Unit(benchmark::kMillisecond);

// The buffer against a raw 64 MiB file that differs in a few bytes; the file
// is read (from the page cache after the first run) and compared.
void CompareWithFileOnDisk(benchmark::State& state)
{
    const std::string path = (std::filesystem::temp_directory_path() / "belcor-bench-compare.bin").string();
    {
        std::vector<uint8_t> file = flashImage();
        file[100] ^= 1;
        file[FlashBytes / 2] ^= 1;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), FlashBytes);
    }
    std::vector<uint8_t> buffer = flashImage();
    for (auto _ : state) {
        const FileComparison result = CompareWithFile(buffer.data(), buffer.size(), FlashBytes, path);
        if (result.comparison.rangeCount != 2)
            state.SkipWithError("wrong comparison");
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(int64_t(state.iterations()) * FlashBytes);
}
BENCHMARK(CompareWithFileOnDisk)->Unit(benchmark::kMillisecond);

// Go to address on the last row, and the frame that shows it.
void GoToLastRow(benchmark::State& state)
{
    HexView view;
    view.resize(800, 600);
    view.setRulerVisible(true);
    view.show();
    view.load(flashImage().data(), FlashBytes);
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    bool atEnd = false;
    for (auto _ : state) {
        view.setCursorPosition(atEnd ? 0 : FlashBytes - 16);
        view.viewport()->render(&image);
        atEnd = !atEnd;
    }
    view.setCursorPosition(FlashBytes - 16);
    if (view.firstVisibleRow() + view.visibleRowCount() < int(FlashBytes / 16))
        state.SkipWithError("the last row is not shown");
}
BENCHMARK(GoToLastRow)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
