#pragma once

#include <cstdint>
#include <functional>

// Three wrong PINs in a row make the next try wait 30 s, so a PIN cannot be
// guessed at the line by trying them all. The clock is given, so that the
// wait can be checked without waiting.
class PinThrottle {
public:
    static constexpr int AllowedMisses = 3;
    static constexpr int64_t WaitMs = 30000;

    explicit PinThrottle(std::function<int64_t()> nowMs);

    // Milliseconds until the next try is taken; 0 when it is now.
    int64_t waitLeftMs() const;
    // A wrong PIN; the third in a row starts the wait.
    void missed();
    // The right PIN: the count starts again.
    void passed();

    void setClock(std::function<int64_t()> nowMs) { nowMs_ = std::move(nowMs); }

private:
    std::function<int64_t()> nowMs_;
    int misses_ = 0;
    int64_t waitEndsMs_ = 0;
};
