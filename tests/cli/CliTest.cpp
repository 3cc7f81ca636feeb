#include "cli/CliTest.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "belcor_sim.h"

extern char** environ;

namespace {

std::filesystem::path binaryFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

void CliTest::SetUp()
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    folder = std::filesystem::temp_directory_path() / ("belcor-cli-test-" + std::to_string(getpid()) + "-" + name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
}

void CliTest::TearDown()
{
    std::filesystem::remove_all(folder);
}

pid_t CliTest::start(const std::vector<std::string>& arguments) const
{
    const std::string program = (binaryFolder() / "belcor-cli").string();
    const std::string outPath = path("stdout.txt");
    const std::string errPath = path("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << program;
        return -1;
    }
    return child;
}

CliResult CliTest::finish(pid_t child) const
{
    CliResult result;
    if (child < 0)
        return result;
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readText(path("stdout.txt"));
    result.err = readText(path("stderr.txt"));
    return result;
}

CliResult CliTest::run(const std::vector<std::string>& arguments) const
{
    return finish(start(arguments));
}

CliResult CliTest::interruptOnceOutput(const std::vector<std::string>& arguments, const std::string& mark) const
{
    const pid_t child = start(arguments);
    for (int waited = 0; child > 0 && waited < 30000; waited += 20) {
        if (readText(path("stdout.txt")).find(mark) != std::string::npos) {
            kill(child, SIGINT);
            break;
        }
        usleep(20000);
    }
    return finish(child);
}

CliResult CliTest::runScenario(const std::string& scenario, std::vector<std::string> arguments) const
{
    writeText("test.scenario", scenario);
    arguments.insert(arguments.begin(), "--simulator=" + path("test.scenario"));
    return run(arguments);
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

void CliTest::writeText(const std::string& name, const std::string& text) const
{
    std::ofstream file(path(name), std::ios::binary);
    file << text;
}

std::vector<uint8_t> CliTest::readFile(const std::string& name) const
{
    const std::string text = readText(path(name));
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> CliTest::seatedContents(const std::string& scenario, uint32_t size) const
{
    writeText("seated.scenario", scenario);
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
        count += line.find(fragment) != std::string::npos;
    return count;
}
