#pragma once

#include "e2e/MockBus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What one run of a program under the test bed left behind.
struct ProgramResult {
    int exitCode = -1;  // -signal when a signal ended it
    std::string out;
    std::string err;
};

// Base fixture: a fresh test bed per test, and belcor-cli (or belcor) run as
// a separate process under umockdev's preload library, so that the system's
// libusb-0.1 and hidapi see the test bed's device nodes instead of the
// machine's. The test bed follows the model while the program runs.
class EndToEndTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs belcor-cli with these arguments and waits for it to end.
    ProgramResult runCli(const std::vector<std::string>& arguments);
    // Runs `program`; `watch` is called every few milliseconds while it
    // runs and returns false to end it with SIGTERM.
    ProgramResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::function<bool()>& watch = {},
                             std::chrono::seconds limit = std::chrono::seconds(60));

    // Seats a blank serial flash in the programmer's socket.
    void seatFlash(uint32_t jedecId, uint32_t size, uint32_t pageSize = 256);
    std::vector<uint8_t> chipContents();
    void setChipContents(const std::vector<uint8_t>& bytes);

    // Command blocks the firmware received with this opcode.
    int commandCount(uint8_t opcode);
    // How often the handlers answered this request (see MockBus::requests).
    int requestCount(const std::string& name) const;

    std::string path(const std::string& name) const;
    void writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const;
    std::vector<uint8_t> readFile(const std::string& name) const;

    std::unique_ptr<MockBus> bus;
    std::filesystem::path folder;
};

// A chip the database knows by its identification: 64 KiB, 256-byte pages.
constexpr uint32_t kSmallFlashId = 0xEF3010;
constexpr uint32_t kSmallFlashSize = 65536;
constexpr char kSmallFlashName[] = "W25X05";

// A text with the times of day "(hh:mm:ss)" taken out, for comparing runs.
std::string WithoutTimes(const std::string& text);

// Bytes that are not all alike, so that a misplaced block shows.
std::vector<uint8_t> Pattern(size_t size, uint32_t seed);
