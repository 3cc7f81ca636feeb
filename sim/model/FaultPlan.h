#pragma once

#include <cstdint>
#include <optional>

// Faults armed by the tests. A lost reply and an unplug fire once, on the
// counted event; a stuck or flipped bit is a property of one chip address and
// stays until the faults are cleared.
class FaultPlan {
public:
    void clear();
    void loseReplyAfter(uint32_t events) { loseCountdown_ = events; }
    void unplugAfter(uint32_t transfers) { unplugCountdown_ = transfers; }
    void setStuckBit(std::optional<uint32_t> address) { stuckAddress_ = address; }
    void setFlippedReadBit(uint32_t address) { flipAddress_ = address; }

    // Count one reply or bulk read; true when this one is lost.
    bool takeLostReply() { return take(loseCountdown_); }
    // Count one transfer on the programmer; true when it unplugs now.
    bool takeUnplug() { return take(unplugCountdown_); }
    std::optional<uint32_t> stuckAddress() const { return stuckAddress_; }
    std::optional<uint32_t> flipAddress() const { return flipAddress_; }

private:
    static bool take(std::optional<uint32_t>& countdown);

    std::optional<uint32_t> loseCountdown_;
    std::optional<uint32_t> unplugCountdown_;
    std::optional<uint32_t> stuckAddress_;
    std::optional<uint32_t> flipAddress_;
};
