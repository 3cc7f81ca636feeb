// Readers and writers of the buffer file forms on chip-sized images.
//
//   bench_files                         Google Benchmark runs
//   bench_files convert IN OUT          one conversion, the form of each file
//                                       taken from its extension (.hex Intel
//                                       HEX, .src S-record, else raw); used by
//                                       compare_files_srec_cat.sh
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "buffers/BufferSet.h"
#include "buffers/IntelHex.h"
#include "buffers/RawBinary.h"
#include "buffers/SRecord.h"
#include "core/MessageCatalogue.h"

namespace {

constexpr uint32_t MiB = 1 << 20;

using Reader = FileLoad (*)(const std::string&, uint8_t*, uint32_t);
using Writer = FileSave (*)(const std::string&, const uint8_t*, uint32_t);

struct Form {
    Reader read;
    Writer write;
};

Form formOf(const std::string& path)
{
    const std::string extension = std::filesystem::path(path).extension().string();
    if (extension == ".hex")
        return {[](const std::string& p, uint8_t* d, uint32_t c) { return ReadIntelHex(p, {d, c}, English); },
                WriteIntelHex};
    if (extension == ".src")
        return {[](const std::string& p, uint8_t* d, uint32_t c) { return ReadSRecord(p, {d, c}, English); },
                WriteSRecord};
    return {[](const std::string& p, uint8_t* d, uint32_t c) { return ReadRawBinary(p, {d, c}); }, WriteRawBinary};
}

// Random bytes; with `halfBlank`, every other 4 KiB stretch is all 0xFF.
const std::vector<uint8_t>& image(uint32_t size, bool halfBlank)
{
    static std::vector<uint8_t> images[2][65];
    std::vector<uint8_t>& made = images[halfBlank][size / MiB];
    if (made.empty()) {
        made.resize(size);
        std::mt19937_64 generator(size);
        for (uint32_t at = 0; at < size; at += 8) {
            const uint64_t value = generator();
            std::memcpy(made.data() + at, &value, 8);
        }
        if (halfBlank) {
            for (uint32_t at = 0; at < size; at += 0x2000)
                std::memset(made.data() + at, 0xFF, 0x1000);
        }
    }
    return made;
}

std::string scratchPath(const char* name)
{
    return (std::filesystem::temp_directory_path() / (std::string("belcor-bench-") + name)).string();
}

void writeForm(benchmark::State& state, const char* name, bool halfBlank)
{
    const auto size = static_cast<uint32_t>(state.range(0)) * MiB;
    const std::vector<uint8_t>& bytes = image(size, halfBlank);
    const std::string path = scratchPath(name);
    const Form form = formOf(path);
    for (auto _ : state) {
        if (form.write(path, bytes.data(), size) != FileSave::Written)
            state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
    state.counters["file_MB"] = double(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
}

void readForm(benchmark::State& state, const char* name, bool halfBlank)
{
    const auto size = static_cast<uint32_t>(state.range(0)) * MiB;
    const std::string path = scratchPath(name);
    const Form form = formOf(path);
    form.write(path, image(size, halfBlank).data(), size);
    BufferSet buffers;
    for (auto _ : state) {
        const FileLoad load = form.read(path, buffers.flash(), BufferSet::FlashCapacity);
        if (!load.ok())
            state.SkipWithError(load.errors.front().c_str());
        benchmark::DoNotOptimize(load.count);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
    std::filesystem::remove(path);
}

void BM_WriteIntelHex(benchmark::State& state) { writeForm(state, "w.hex", false); }
void BM_ReadIntelHex(benchmark::State& state) { readForm(state, "r.hex", false); }
void BM_WriteSRecord(benchmark::State& state) { writeForm(state, "w.src", false); }
void BM_ReadSRecord(benchmark::State& state) { readForm(state, "r.src", false); }
void BM_WriteIntelHexHalfBlank(benchmark::State& state) { writeForm(state, "wb.hex", true); }
void BM_ReadIntelHexHalfBlank(benchmark::State& state) { readForm(state, "rb.hex", true); }
void BM_WriteSRecordHalfBlank(benchmark::State& state) { writeForm(state, "wb.src", true); }
void BM_ReadSRecordHalfBlank(benchmark::State& state) { readForm(state, "rb.src", true); }
void BM_SaveRaw(benchmark::State& state) { writeForm(state, "w.bin", false); }
void BM_LoadRaw(benchmark::State& state) { readForm(state, "r.bin", false); }

#define FILE_BENCHMARK(name, ...) \
    BENCHMARK(name)->Args({__VA_ARGS__})->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0)

FILE_BENCHMARK(BM_WriteIntelHex, 16);
FILE_BENCHMARK(BM_WriteIntelHex, 64);
FILE_BENCHMARK(BM_ReadIntelHex, 16);
FILE_BENCHMARK(BM_ReadIntelHex, 64);
FILE_BENCHMARK(BM_WriteSRecord, 16);
FILE_BENCHMARK(BM_WriteSRecord, 64);
FILE_BENCHMARK(BM_ReadSRecord, 16);
FILE_BENCHMARK(BM_ReadSRecord, 64);
FILE_BENCHMARK(BM_WriteIntelHexHalfBlank, 16);
FILE_BENCHMARK(BM_ReadIntelHexHalfBlank, 16);
FILE_BENCHMARK(BM_WriteSRecordHalfBlank, 16);
FILE_BENCHMARK(BM_ReadSRecordHalfBlank, 16);
FILE_BENCHMARK(BM_SaveRaw, 64);
FILE_BENCHMARK(BM_LoadRaw, 64);

int convert(const std::string& in, const std::string& out)
{
    BufferSet buffers;
    const FileLoad load = formOf(in).read(in, buffers.flash(), BufferSet::FlashCapacity);
    if (!load.ok()) {
        std::fprintf(stderr, "%s: %s\n", in.c_str(), load.errors.front().c_str());
        return 1;
    }
    if (formOf(out).write(out, buffers.flash(), static_cast<uint32_t>(load.count)) != FileSave::Written) {
        std::fprintf(stderr, "%s: cannot write\n", out.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "convert") == 0)
        return convert(argv[2], argv[3]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
