#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ChipSpec {
    int chipClass = 0;     // 0 25-series, 1 24-series, 2 93-series, 3 95-series, 4 AVR
    uint32_t jedecId = 0;  // identification answered by a class 0 chip
    uint32_t size = 0;
    uint32_t pageSize = 0;
};

class SimClock;

// What the firmware knows while it serves one command on a chip. The clock
// is read only when a chip asks: reading it on every block of a 64 MiB
// transfer would cost more than moving the data.
struct ChipContext {
    uint32_t pageSize = 0;     // page size of the session, or the chip's own
    SimClock* clock = nullptr;
    uint32_t eraseTimeMs = 0;  // 0xFFFFFFFF: a chip erase never ends
    bool writeProtectLow = false;  // the programmer holds the chip's WP pin low

    uint64_t nowMs() const;
    // The firmware waiting for the chip: simulated time passes up to `ms`.
    void waitUntilMs(uint64_t ms) const;
};

// A chip in the socket: its array, how stream positions map onto it and how
// it takes programming and erase commands. This base class is a chip whose
// writes replace bytes and which has no erase command (95-series, AVR);
// each other family overrides what it does differently.
class Chip {
public:
    static constexpr uint32_t kMaxSize = 256u << 20;

    // False for a chip that cannot exist: unknown class, empty array, page
    // size 0 or above 256, larger than kMaxSize.
    static bool isPossible(const ChipSpec& spec);
    // A blank chip, or null when it is not possible.
    static std::unique_ptr<Chip> create(const ChipSpec& spec);

    explicit Chip(const ChipSpec& spec);
    virtual ~Chip() = default;

    const ChipSpec& spec() const { return spec_; }
    // The array, every byte of it.
    uint8_t* cells();
    const uint8_t* cells() const;
    // Whether the firmware has programmed anything into it since it was seated.
    bool wasWritten() const { return written_; }
    // A defect of this one chip: the cell at `address` reads 0xFF whatever
    // is programmed into it.
    void setDeadCell(uint32_t address) { deadCell_ = address; }
    std::optional<uint32_t> deadCell() const { return deadCell_; }

    // Reply bytes 0..3 of Identify.
    virtual void identify(uint8_t* reply) const;
    // The chip address a stream position reaches, and how many positions from
    // there on map to consecutive addresses.
    virtual uint32_t addressOf(uint32_t position) const { return position; }
    virtual uint64_t runFrom(uint32_t position) const { return (uint64_t(1) << 32) - position; }
    // One bulk data block read from a stream position; bytes past the end
    // of the array are left as they are. `flippedBit`: the address whose
    // bit 0 reads inverted. Returns the text of a protocol mistake, or an
    // empty text.
    virtual std::string read(uint32_t position, uint8_t* data, uint32_t length, std::optional<uint32_t> flippedBit,
                             const ChipContext& context);
    // One bulk data block written at a stream position. Returns the text of a
    // protocol mistake, or an empty text.
    virtual std::string program(uint32_t position, const uint8_t* data, uint32_t length, const ChipContext& context);
    virtual std::string erase(uint16_t parameter, const ChipContext& context);
    virtual bool isBusy(uint64_t /*nowMs*/) const { return false; }
    // The protocol mistake a data read now would be, or an empty text when the
    // chip answers reads.
    virtual std::string readRefusal(const ChipContext& /*context*/) const { return {}; }
    // Reply byte 0 of PollStatus: bit 0 busy, further bits as the family has them.
    virtual uint8_t status(uint64_t nowMs) const { return isBusy(nowMs) ? 1 : 0; }
    // Raw instruction bytes passed on by ChipCommand.
    virtual std::string instruct(const uint8_t* bytes, uint8_t count, const ChipContext& context);
    // Time the firmware spent waiting for the chip during the last data write
    // (page programs), in microseconds; reading it starts the count afresh.
    virtual uint32_t takeFirmwareWaitUs() { return 0; }
    virtual void endSession() {}

protected:
    // Splits a stream span into runs of consecutive chip addresses and hands
    // each run inside the array to `store`; bytes past the end are refused.
    template <typename Store>
    std::string forEachRun(uint32_t position, uint32_t length, Store store);
    void markWritten() { written_ = true; }
    // Every byte 0xFF again.
    void eraseAll();

private:
    ChipSpec spec_;
    // Made when first needed: until then the chip is blank, and a blank chip
    // that is only read, as a benchmark reads a 64 MiB one, costs no memory
    // in the process it is simulated for.
    mutable std::vector<uint8_t> cells_;
    bool written_ = false;
    std::optional<uint32_t> deadCell_;
};

template <typename Store>
std::string Chip::forEachRun(uint32_t position, uint32_t length, Store store)
{
    std::string error;
    uint32_t done = 0;
    while (done < length) {
        const uint32_t at = position + done;
        const uint32_t address = addressOf(at);
        const uint32_t run = uint32_t(std::min<uint64_t>(length - done, runFrom(at)));
        const uint32_t inside = address < spec_.size ? std::min(run, spec_.size - address) : 0;
        if (inside)
            store(address, done, inside);
        if (inside < run && error.empty())
            error = "transfer reaches past the end of the chip at address " + std::to_string(address + inside);
        done += run;
    }
    return error;
}
