#pragma once

#include "model/Chip.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class SimClock;
class Simulator;
struct SimDevice;

// A scenario file: one directive per line, '#' starts a comment.
//   chip class=0 id=0xEF4017 size=8388608 page=256
//   contents blank | contents pattern | contents random seed=1 | contents file=PATH
//   status_register 0x1C        (class 0: block protection left by an earlier tool)
//   erase_time_ms 3000          (or "never")
//   transfer_rate 4000          (bytes per millisecond, 0 = instant)
//   feeder on 2000 | feeder off
//   failing_chips 10 seed=1     (percent of the chips the feeder seats that fail)
//   versions H2.0 V3.10 BU2SIM0000001
//   bootloader 0x08003000 1024
//   programmers 4               (a gang: each with the scene's chip, contents,
//                                timings and feeder; serials BU2SIM0000001 up)
//   device second_programmer | lookalike | winusb1 | cjk_product
//   unplugged
// The "pattern" contents label every 16-byte row with its address in hex
// followed by " Belcor", so that the rows are easy to recognise in a dump.
// A "file" is read when the scenario is parsed, relative to the scenario
// file's folder; the chip holds it from address 0, 0xFF after its end.
class Scenario {
public:
    enum class Contents { Blank, Pattern, Random, File };

    // Reads a file; false with "file:line: reason" in `error` on a bad line.
    bool load(const std::string& path, std::string& error);
    // Parses the text of a scenario; `origin` names it in messages.
    bool parse(const std::string& text, const std::string& origin, std::string& error);
    // Resets the simulator (keeping its hot-plug callback) and sets the scene.
    void apply(Simulator& simulator) const;

    // What `--simulator` without a file means: a blank 8 MiB serial flash.
    static Scenario defaultScene();

    static void fillPattern(uint8_t* cells, uint32_t size);

private:
    bool parseLine(const std::vector<std::string>& words, const std::string& origin, std::string& reason);
    bool readImage(const std::string& path, const std::string& origin, std::string& reason);
    void setUp(SimDevice& device, const SimClock& clock) const;

    std::optional<ChipSpec> chip_;
    Contents contents_ = Contents::Blank;
    uint32_t seed_ = 1;
    std::vector<uint8_t> image_;
    std::optional<uint8_t> statusRegister_;
    std::optional<uint32_t> eraseTimeMs_;
    uint32_t transferRate_ = 0;
    bool feederOn_ = false;
    uint32_t feederPauseMs_ = 0;
    uint32_t failingPercent_ = 0;
    uint32_t failingSeed_ = 1;
    std::optional<std::vector<std::string>> versions_;
    std::optional<std::pair<uint32_t, uint16_t>> bootloader_;
    uint32_t programmers_ = 1;
    std::vector<int> devices_;
    bool unplugged_ = false;
};
