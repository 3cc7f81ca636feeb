#pragma once

#include <sys/types.h>

#include <csignal>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// What one run of belcor-cli left behind.
struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Base fixture of the end-to-end tests: each test gets a folder of its own for
// scenario and data files, and runs the belcor-cli beside the test executable
// as a separate process, exactly as a user's script would.
class CliTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    CliResult run(const std::vector<std::string>& arguments) const;
    // Runs with --simulator=<a scenario file holding `scenario`>.
    CliResult runScenario(const std::string& scenario, std::vector<std::string> arguments) const;
    // Starts a run, presses Ctrl-C (SIGINT, or sends `signal`) once stdout or
    // stderr shows `mark`, and waits for the end.
    CliResult interruptOnceOutput(const std::vector<std::string>& arguments, const std::string& mark,
                                  int signal = SIGINT) const;
    // The same, once `due` holds for stdout and stderr so far.
    CliResult interruptWhen(const std::vector<std::string>& arguments,
                            const std::function<bool(const std::string& out, const std::string& err)>& due,
                            int signal) const;

    // Runs, calling `watch` with the output so far every 20 ms until the run ends.
    CliResult runWatching(const std::vector<std::string>& arguments,
                          const std::function<void(const std::string& out)>& watch) const;
    std::string path(const std::string& name) const;
    void writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const;
    std::vector<uint8_t> readFile(const std::string& name) const;
    // What the simulator seats for a scenario, read in this process from the
    // same simulator library.
    std::vector<uint8_t> seatedContents(const std::string& scenario, uint32_t size) const;

    std::filesystem::path folder;

private:
    pid_t start(const std::vector<std::string>& arguments) const;
    CliResult finish(pid_t child) const;
};

inline bool Contains(const std::string& text, const std::string& fragment)
{
    return text.find(fragment) != std::string::npos;
}

// Lines of a text that contain `fragment`.
int CountLines(const std::string& text, const std::string& fragment);

inline std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}
