#pragma once

#include "model/Chip.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class FaultPlan;
class ProtocolLog;
class SimClock;

// Chip parameters handed over by BeginSession (block offsets 2..28).
struct SessionParameters {
    uint8_t chipClass = 0;
    uint8_t algorithm = 0;
    uint16_t flashPage = 0;
    uint16_t delay = 0;
    uint32_t flashSize = 0;
    uint32_t chipId = 0;
    uint8_t speed = 0;
    uint8_t voltage = 0;
};

struct ProgrammerVersions {
    std::string hardware = "H2.0";
    std::string firmware = "V3.10";
    std::string serial = "BU2SIM0000001";
};

// The programmer's firmware: it takes 64-byte command blocks, keeps the
// session's chip parameters and the address pointer, holds the reply to the
// last command until it is read, and streams data between the bulk
// endpoints and the chip in its socket.
class Programmer {
public:
    static constexpr int kBlockSize = 64;
    static constexpr uint32_t kDefaultEraseTimeMs = 2000;

    enum Opcode : uint8_t {
        Erase = 2,
        SetAddress = 5,
        BeginSession = 7,
        EndSession = 8,
        Identify = 9,
        PollStatus = 10,
        ChipCommand = 11,
        GetHardwareInfo = 12,
        EnterUpgrade = 13,
    };

    // `bigEndianFields`: whether 16- and 32-bit command fields arrive most
    // significant byte first, as they do on the usual endpoint layout.
    Programmer(SimClock& clock, ProtocolLog& log, const FaultPlan& faults, bool bigEndianFields);

    void receiveCommand(const uint8_t* block, int length);
    bool hasPendingReply() const { return replyPending_; }
    // Copies the pending reply out and forgets it; returns the count copied.
    int takeReply(uint8_t* data, int length);
    void discardReply() { replyPending_ = false; }
    void readData(uint8_t* data, uint32_t length);
    void writeData(const uint8_t* data, uint32_t length);

    uint32_t pointer() const { return pointer_; }
    const SessionParameters& session() const { return session_; }
    bool isInSession() const { return inSession_; }

    Chip* chip() { return chip_.get(); }
    void seatChip(std::unique_ptr<Chip> chip);
    void removeChip();

    // When a session that wrote into the seated chip ended, in simulated
    // time; the feeder takes it to know a chip is finished.
    std::optional<uint64_t> takeFinishedChip();
    // Set by EnterUpgrade; the device leaves the bus once the reply is out.
    bool upgradeRequested() const { return upgradeRequested_; }
    void clearUpgradeRequest() { upgradeRequested_ = false; }

    ProgrammerVersions& versions() { return versions_; }
    void setEraseTimeMs(uint32_t milliseconds) { eraseTimeMs_ = milliseconds; }
    // The WP pin of the socket: held low, a 25-series chip whose SRP bit is
    // set ignores status register writes.
    void setWriteProtectLow(bool low) { writeProtectLow_ = low; }

private:
    uint16_t field16(const uint8_t* block, int offset) const;
    uint32_t field32(const uint8_t* block, int offset) const;
    ChipContext chipContext() const;
    void startReply(uint8_t opcode);
    void report(const std::string& error);
    bool needsChip(const char* what);
    bool needsAddress(const char* what);
    void fillHardwareInfo();

    SimClock& clock_;
    ProtocolLog& log_;
    const FaultPlan& faults_;
    bool bigEndianFields_;

    SessionParameters session_;
    bool inSession_ = false;
    bool sessionWrote_ = false;
    std::optional<uint64_t> finishedAtMs_;
    uint32_t pointer_ = 0;
    bool pointerSet_ = false;
    std::array<uint8_t, kBlockSize> reply_{};
    bool replyPending_ = false;
    bool upgradeRequested_ = false;
    std::unique_ptr<Chip> chip_;
    ProgrammerVersions versions_;
    uint32_t eraseTimeMs_ = kDefaultEraseTimeMs;
    bool writeProtectLow_ = false;
    uint32_t firmwareWaitUs_ = 0;  // below one millisecond, carried to the next write
};
