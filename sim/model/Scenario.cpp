#include "model/Scenario.h"

#include "model/Simulator.h"
#include "model/SpiFlashChip.h"

#include "belcor_sim.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {
bool parseNumber(const std::string& text, uint64_t limit, uint64_t& value)
{
    if (text.empty())
        return false;
    try {
        size_t used = 0;
        const unsigned long long parsed = std::stoull(text, &used, 0);
        if (used != text.size() || parsed > limit || text[0] == '-')
            return false;
        value = parsed;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// A gang leaves room on the simulated bus for the odd extra device.
constexpr uint32_t kMaxProgrammers = 32;

bool parseNumber32(const std::string& text, uint32_t& value)
{
    uint64_t wide = 0;
    if (!parseNumber(text, UINT32_MAX, wide))
        return false;
    value = uint32_t(wide);
    return true;
}
}

bool Scenario::load(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot open the scenario file";
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return parse(text.str(), path, error);
}

bool Scenario::parse(const std::string& text, const std::string& origin, std::string& error)
{
    *this = Scenario();
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (const size_t hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream wordStream(line);
        std::vector<std::string> words;
        for (std::string word; wordStream >> word;)
            words.push_back(word);
        std::string reason;
        if (!words.empty() && !parseLine(words, origin, reason)) {
            error = origin + ":" + std::to_string(number) + ": " + reason;
            return false;
        }
    }
    return true;
}

bool Scenario::parseLine(const std::vector<std::string>& words, const std::string& origin, std::string& reason)
{
    const std::string& directive = words[0];
    const size_t arguments = words.size() - 1;
    auto expect = [&](size_t count, const char* usage) {
        if (arguments == count)
            return true;
        reason = std::string("expected \"") + usage + "\"";
        return false;
    };
    if (directive == "chip") {
        ChipSpec spec;
        spec.chipClass = -1;
        for (size_t i = 1; i < words.size(); ++i) {
            const size_t equals = words[i].find('=');
            const std::string key = words[i].substr(0, equals);
            uint32_t value = 0;
            if (equals == std::string::npos || !parseNumber32(words[i].substr(equals + 1), value)) {
                reason = "bad chip setting \"" + words[i] + "\"";
                return false;
            }
            if (key == "class")
                spec.chipClass = int(value);
            else if (key == "id")
                spec.jedecId = value;
            else if (key == "size")
                spec.size = value;
            else if (key == "page")
                spec.pageSize = value;
            else {
                reason = "unknown chip setting \"" + key + "\"";
                return false;
            }
        }
        if (spec.chipClass < 0 || spec.chipClass > 4) {
            reason = "chip needs class=0..4";
            return false;
        }
        if (!Chip::isPossible(spec)) {
            reason = "impossible chip (size 1.." + std::to_string(Chip::kMaxSize) + ", page 1..256)";
            return false;
        }
        chip_ = spec;
        return true;
    }
    if (directive == "contents") {
        if (!chip_) {
            reason = "\"contents\" before any \"chip\"";
            return false;
        }
        if (arguments == 1 && words[1] == "blank")
            contents_ = Contents::Blank;
        else if (arguments == 1 && words[1] == "pattern")
            contents_ = Contents::Pattern;
        else if (arguments == 2 && words[1] == "random" && words[2].rfind("seed=", 0) == 0
                 && parseNumber32(words[2].substr(5), seed_))
            contents_ = Contents::Random;
        else if (arguments == 1 && words[1].rfind("file=", 0) == 0 && words[1].size() > 5)
            return readImage(words[1].substr(5), origin, reason);
        else {
            reason = "expected \"contents blank\", \"contents pattern\", \"contents random seed=N\" or "
                     "\"contents file=PATH\"";
            return false;
        }
        return true;
    }
    if (directive == "status_register") {
        uint32_t value = 0;
        if (arguments != 1 || !parseNumber32(words[1], value) || value > 0xFF) {
            reason = "expected \"status_register VALUE\" (0..0xFF)";
            return false;
        }
        if (!chip_ || chip_->chipClass != 0) {
            reason = "\"status_register\" needs a class 0 chip before it";
            return false;
        }
        statusRegister_ = uint8_t(value);
        return true;
    }
    if (directive == "erase_time_ms") {
        if (!expect(1, "erase_time_ms MILLISECONDS|never"))
            return false;
        uint32_t value = 0;
        if (words[1] == "never")
            value = UINT32_MAX;
        else if (!parseNumber32(words[1], value)) {
            reason = "bad erase time \"" + words[1] + "\"";
            return false;
        }
        eraseTimeMs_ = value;
        return true;
    }
    if (directive == "transfer_rate") {
        if (!expect(1, "transfer_rate BYTES_PER_MS"))
            return false;
        if (!parseNumber32(words[1], transferRate_)) {
            reason = "bad transfer rate \"" + words[1] + "\"";
            return false;
        }
        return true;
    }
    if (directive == "feeder") {
        if (arguments == 1 && words[1] == "off") {
            feederOn_ = false;
            return true;
        }
        if (arguments == 2 && words[1] == "on" && parseNumber32(words[2], feederPauseMs_)) {
            feederOn_ = true;
            return true;
        }
        reason = "expected \"feeder on PAUSE_MS\" or \"feeder off\"";
        return false;
    }
    if (directive == "failing_chips") {
        if (arguments == 2 && parseNumber32(words[1], failingPercent_) && failingPercent_ <= 100 &&
            words[2].rfind("seed=", 0) == 0 && parseNumber32(words[2].substr(5), failingSeed_))
            return true;
        reason = "expected \"failing_chips PERCENT seed=N\" with PERCENT from 0 to 100";
        return false;
    }
    if (directive == "versions") {
        if (!expect(3, "versions HARDWARE FIRMWARE SERIAL"))
            return false;
        if (words[1].size() > 4 || words[2].size() > 5 || words[3].size() > 13) {
            reason = "versions are at most 4, 5 and 13 characters long";
            return false;
        }
        versions_ = std::vector<std::string>(words.begin() + 1, words.end());
        return true;
    }
    if (directive == "bootloader") {
        uint32_t start = 0, page = 0;
        if (arguments != 2 || !parseNumber32(words[1], start) || !parseNumber32(words[2], page) || page > 0xFFFF) {
            reason = "expected \"bootloader START_ADDRESS PAGE_SIZE\"";
            return false;
        }
        bootloader_ = std::make_pair(start, uint16_t(page));
        return true;
    }
    if (directive == "programmers") {
        uint32_t count = 0;
        if (arguments != 1 || !parseNumber32(words[1], count) || count < 1 || count > kMaxProgrammers) {
            reason = "expected \"programmers N\" with N from 1 to " + std::to_string(kMaxProgrammers);
            return false;
        }
        programmers_ = count;
        return true;
    }
    if (directive == "device") {
        static const std::pair<const char*, int> kinds[] = {
            {"second_programmer", BELCOR_SIM_SECOND_PROGRAMMER},
            {"lookalike", BELCOR_SIM_LOOKALIKE},
            {"winusb1", BELCOR_SIM_WINUSB1},
            {"cjk_product", BELCOR_SIM_CJK_PRODUCT},
        };
        for (const auto& [name, kind] : kinds) {
            if (arguments == 1 && words[1] == name) {
                devices_.push_back(kind);
                return true;
            }
        }
        reason = "expected \"device second_programmer|lookalike|winusb1|cjk_product\"";
        return false;
    }
    if (directive == "unplugged") {
        if (!expect(0, "unplugged"))
            return false;
        unplugged_ = true;
        return true;
    }
    reason = "unknown directive \"" + directive + "\"";
    return false;
}

bool Scenario::readImage(const std::string& path, const std::string& origin, std::string& reason)
{
    std::filesystem::path file(path);
    if (file.is_relative())
        file = std::filesystem::path(origin).parent_path() / file;
    // Devices and pipes could stream without end.
    std::error_code ignored;
    std::ifstream stream;
    if (std::filesystem::is_regular_file(file, ignored))
        stream.open(file, std::ios::binary);
    if (!stream.is_open()) {
        reason = "cannot open the image \"" + file.string() + "\"";
        return false;
    }
    // One byte more than the chip holds tells a file that does not fit.
    std::vector<uint8_t> image(size_t(chip_->size) + 1);
    stream.read(reinterpret_cast<char*>(image.data()), std::streamsize(image.size()));
    if (stream.bad()) {
        reason = "cannot read the image \"" + file.string() + "\"";
        return false;
    }
    image.resize(size_t(stream.gcount()));
    if (image.size() > chip_->size) {
        reason = "the image \"" + file.string() + "\" is larger than the chip";
        return false;
    }
    image_ = std::move(image);
    contents_ = Contents::File;
    return true;
}

Scenario Scenario::defaultScene()
{
    Scenario scene;
    scene.chip_ = ChipSpec{0, 0xEF4017, 8u << 20, 256};
    return scene;
}

void Scenario::fillPattern(uint8_t* cells, uint32_t size)
{
    static const char digits[] = "0123456789ABCDEF";
    char row[] = "00000000 Belcor\n";
    for (uint32_t address = 0; address < size; address += 16) {
        for (int i = 0; i < 8; ++i)
            row[i] = digits[(address >> (28 - 4 * i)) & 0xF];
        std::copy(row, row + std::min<uint32_t>(16, size - address), cells + address);
    }
}

void Scenario::setUp(SimDevice& device, const SimClock& clock) const
{
    Programmer& programmer = *device.programmer;
    if (chip_) {
        std::unique_ptr<Chip> chip = Chip::create(*chip_);
        if (contents_ == Contents::Pattern)
            fillPattern(chip->cells(), chip_->size);
        else if (contents_ == Contents::Random) {
            std::mt19937 random(seed_);
            uint8_t* cells = chip->cells();
            for (uint32_t i = 0; i < chip_->size; ++i)
                cells[i] = uint8_t(random());
        } else if (contents_ == Contents::File)
            // A later "chip" line may have made the chip smaller than the image.
            std::copy_n(image_.begin(), std::min<size_t>(image_.size(), chip_->size), chip->cells());
        if (statusRegister_ && chip_->chipClass == 0)
            static_cast<SpiFlashChip&>(*chip).setStatusRegister(*statusRegister_);
        programmer.seatChip(std::move(chip));
    }
    if (eraseTimeMs_)
        programmer.setEraseTimeMs(*eraseTimeMs_);
    device.throttle.setRate(transferRate_);
    device.feeder.setEnabled(feederOn_, feederPauseMs_, clock.nowMs());
    device.feeder.setFailing(failingPercent_, failingSeed_);
}

void Scenario::apply(Simulator& simulator) const
{
    simulator.reset(true);
    for (uint32_t number = 2; number <= programmers_; ++number)
        simulator.addDevice(Simulator::kProgrammer);
    for (uint32_t number = 1; number <= programmers_; ++number)
        setUp(simulator.device(size_t(simulator.programmerIndex(int(number)))), simulator.clock());
    if (versions_)
        simulator.programmer().versions() = ProgrammerVersions{(*versions_)[0], (*versions_)[1], (*versions_)[2]};
    if (bootloader_)
        simulator.bootloader().setGeometry(bootloader_->first, bootloader_->second);
    for (int kind : devices_)
        simulator.addDevice(kind);
    if (unplugged_)
        simulator.setPlugged(0, false);
}
