#include "cli/CliTest.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "belcor_sim.h"

extern char** environ;

namespace {

std::string readText(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

void CliTest::SetUp()
{
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    folder = std::filesystem::temp_directory_path() / ("belcor-cli-" + std::to_string(getpid()) + "-" + name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
}

void CliTest::TearDown()
{
    std::filesystem::remove_all(folder);
}

pid_t CliTest::start(const std::vector<std::string>& arguments) const
{
    const std::string program = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "belcor-cli").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, path("stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, path("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        ADD_FAILURE() << "cannot start " << program;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

CliResult CliTest::finish(pid_t child) const
{
    CliResult result;
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readText(path("stdout.txt"));
    result.err = readText(path("stderr.txt"));
    return result;
}

CliResult CliTest::run(const std::vector<std::string>& arguments) const
{
    return finish(start(arguments));
}

CliResult CliTest::runScenario(const std::string& scenario, std::vector<std::string> arguments) const
{
    writeFile("test.scenario", Bytes(scenario));
    arguments.insert(arguments.begin(), "--simulator=" + path("test.scenario"));
    return run(arguments);
}

CliResult CliTest::interruptOnceOutput(const std::vector<std::string>& arguments, const std::string& mark,
                                       int signal) const
{
    return interruptWhen(
        arguments, [&mark](const std::string& out, const std::string& err) { return Contains(out + err, mark); },
        signal);
}

CliResult CliTest::interruptWhen(const std::vector<std::string>& arguments,
                                 const std::function<bool(const std::string& out, const std::string& err)>& due,
                                 int signal) const
{
    const pid_t child = start(arguments);
    for (int waitedMs = 0; child > 0 && waitedMs < 30000; waitedMs += 20) {
        if (due(readText(path("stdout.txt")), readText(path("stderr.txt")))) {
            kill(child, signal);
            break;
        }
        usleep(20000);
    }
    return finish(child);
}

CliResult CliTest::runWatching(const std::vector<std::string>& arguments,
                               const std::function<void(const std::string& out)>& watch) const
{
    const pid_t child = start(arguments);
    siginfo_t info{};
    // WNOWAIT: the child stays to be collected by finish().
    while (child > 0 && waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0) {
        watch(readText(path("stdout.txt")));
        usleep(20000);
    }
    return finish(child);
}

std::string CliTest::path(const std::string& name) const
{
    return (folder / name).string();
}

void CliTest::writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const
{
    std::ofstream file(path(name), std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> CliTest::readFile(const std::string& name) const
{
    return Bytes(readText(path(name)));
}

std::vector<uint8_t> CliTest::seatedContents(const std::string& scenario, uint32_t size) const
{
    writeFile("seated.scenario", Bytes(scenario));
    EXPECT_EQ(belcor_sim_load_scenario(path("seated.scenario").c_str()), 0) << belcor_sim_last_error();
    std::vector<uint8_t> contents(size);
    EXPECT_EQ(belcor_sim_chip_read(0, contents.data(), size), static_cast<int>(size));
    return contents;
}

int CountLines(const std::string& text, const std::string& fragment)
{
    std::istringstream lines(text);
    int count = 0;
    for (std::string line; std::getline(lines, line);)
        count += Contains(line, fragment);
    return count;
}
