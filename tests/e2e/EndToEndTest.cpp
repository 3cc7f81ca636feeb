#include "e2e/EndToEndTest.h"

#include "model/Chip.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string_view>
#include <thread>

extern char** environ;

namespace {

std::string readText(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Why the system libraries cannot be exercised here, or empty when they can.
std::string missingPiece()
{
    if (std::string(BELCOR_E2E_PRELOAD).empty() || !std::filesystem::exists(BELCOR_E2E_PRELOAD))
        return "umockdev's preload library is not installed";
    for (const char* library : {"libusb-0.1.so.4", "libhidapi-hidraw.so.0"}) {
        void* handle = dlopen(library, RTLD_LAZY | RTLD_LOCAL);
        if (!handle)
            return std::string(library) + " is not installed";
        dlclose(handle);
    }
    return {};
}

}  // namespace

std::vector<uint8_t> Pattern(size_t size, uint32_t seed)
{
    std::vector<uint8_t> bytes(size);
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = uint8_t(state >> 16);
    }
    return bytes;
}

// Drops every " (HH:MM:SS)" (the space optional), as the log lines carry them.
std::string WithoutTimes(const std::string& text)
{
    const auto isTime = [&text](size_t at) {
        static constexpr std::string_view Shape = "(dd:dd:dd)";
        if (text.size() - at < Shape.size())
            return false;
        for (size_t i = 0; i < Shape.size(); ++i) {
            const char c = text[at + i];
            if (Shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(c)) : c != Shape[i])
                return false;
        }
        return true;
    };
    std::string out;
    for (size_t at = 0; at < text.size();) {
        const size_t start = text[at] == ' ' && at + 1 < text.size() && isTime(at + 1) ? at + 1 : at;
        if (isTime(start)) {
            at = start + 10;
            continue;
        }
        out += text[at++];
    }
    return out;
}

int EndToEndTest::commandCount(uint8_t opcode)
{
    return bus->withModel([&](Simulator& sim) {
        int count = 0;
        for (size_t i = 0; i < sim.transcript().size(); ++i) {
            const belcor_sim_event& event = sim.transcript().at(i);
            count += event.kind == BELCOR_SIM_EVENT_COMMAND && event.block[1] == opcode;
        }
        return count;
    });
}

int EndToEndTest::requestCount(const std::string& name) const
{
    const std::vector<std::string> log = bus->requests();
    return int(std::count(log.begin(), log.end(), name));
}

void EndToEndTest::SetUp()
{
    if (const std::string missing = missingPiece(); !missing.empty())
        GTEST_SKIP() << missing;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    folder = std::filesystem::temp_directory_path() /
             ("belcor-e2e-" + std::to_string(getpid()) + "-" + test->test_suite_name() + "." + test->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    bus = std::make_unique<MockBus>();
}

void EndToEndTest::TearDown()
{
    bus.reset();
    if (!folder.empty())
        std::filesystem::remove_all(folder);
}

std::string EndToEndTest::path(const std::string& name) const
{
    return (folder / name).string();
}

void EndToEndTest::writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const
{
    std::ofstream file(path(name), std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> EndToEndTest::readFile(const std::string& name) const
{
    const std::string text = readText(path(name));
    return std::vector<uint8_t>(text.begin(), text.end());
}

void EndToEndTest::seatFlash(uint32_t jedecId, uint32_t size, uint32_t pageSize)
{
    bus->withModel([&](Simulator& sim) {
        sim.programmer().seatChip(Chip::create(ChipSpec{0, jedecId, size, pageSize}));
    });
}

std::vector<uint8_t> EndToEndTest::chipContents()
{
    return bus->withModel([](Simulator& sim) {
        const Chip* chip = sim.programmer().chip();
        return chip ? std::vector<uint8_t>(chip->cells(), chip->cells() + chip->spec().size) : std::vector<uint8_t>();
    });
}

void EndToEndTest::setChipContents(const std::vector<uint8_t>& bytes)
{
    bus->withModel([&](Simulator& sim) {
        Chip* chip = sim.programmer().chip();
        std::copy(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), chip->spec().size), chip->cells());
    });
}

ProgramResult EndToEndTest::runCli(const std::vector<std::string>& arguments)
{
    return runProgram(BELCOR_E2E_CLI, arguments);
}

ProgramResult EndToEndTest::runProgram(const std::string& program, const std::vector<std::string>& arguments,
                                       const std::function<bool()>& watch, std::chrono::seconds limit)
{
    const std::string outPath = path("stdout.txt"), errPath = path("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    ProgramResult result;
    pid_t child = 0;
    // This process's environment carries umockdev's preload library and the
    // test bed's root.
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << program;
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    bool stopped = false;
    while (waitpid(child, &status, WNOHANG) == 0) {
        bus->pump();
        if (!stopped && ((watch && !watch()) || std::chrono::steady_clock::now() > deadline)) {
            if (std::chrono::steady_clock::now() > deadline)
                ADD_FAILURE() << program << " did not end within " << limit.count() << " s";
            kill(child, SIGTERM);
            stopped = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    bus->pump();
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    result.out = readText(outPath);
    result.err = readText(errPath);
    return result;
}
