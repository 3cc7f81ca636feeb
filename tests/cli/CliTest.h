#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/types.h>

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

    // Runs belcor-cli with these arguments; stdout and stderr kept apart.
    CliResult run(const std::vector<std::string>& arguments) const;
    // Starts belcor-cli, waits until its stdout shows `mark`, then presses
    // Ctrl-C (SIGINT) and waits for it to end.
    CliResult interruptOnceOutput(const std::vector<std::string>& arguments, const std::string& mark) const;
    // Runs with --simulator=<scenario file written from `scenario`>.
    CliResult runScenario(const std::string& scenario, std::vector<std::string> arguments) const;

    std::string path(const std::string& name) const;
    void writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const;
    void writeText(const std::string& name, const std::string& text) const;
    std::vector<uint8_t> readFile(const std::string& name) const;

    // The contents the simulator seats for a scenario, read in this process
    // from the same simulator library.
    std::vector<uint8_t> seatedContents(const std::string& scenario, uint32_t size) const;

    std::filesystem::path folder;

private:
    pid_t start(const std::vector<std::string>& arguments) const;
    CliResult finish(pid_t child) const;
};

// Lines of a text that contain `fragment`.
int CountLines(const std::string& text, const std::string& fragment);
