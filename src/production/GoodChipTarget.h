#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

// How many good chips a job still wants: one count for every programmer of a
// run, whichever front end started it. A chip may start only while the good
// chips made and those under way stay below the target, so that a gang never
// makes more good chips than wanted; a failed chip gives its place back to
// the next. The target may change while chips are programmed and counts at
// once. Safe to call from the programmers' threads.
class GoodChipTarget {
public:
    enum class Claim {
        Granted,  // the chip may start
        Wait,     // chips under way may still reach the target: ask again later
        Reached,  // enough good chips: the run ends
    };

    // `goodSoFar`: the job's good chips before the run. No target: no limit.
    GoodChipTarget(std::optional<int64_t> target, int64_t goodSoFar);

    void setTarget(std::optional<int64_t> target);
    std::optional<int64_t> target() const;

    Claim claim();
    // A granted chip ended, good or not.
    void finished(bool good);
    // A granted chip did not start after all.
    void released();

    bool reached() const;
    int64_t good() const;

private:
    bool reachedLocked() const { return target_ && good_ >= *target_; }

    mutable std::mutex mutex_;
    std::optional<int64_t> target_;
    int64_t good_ = 0;
    int64_t underWay_ = 0;
};
