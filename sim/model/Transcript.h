#pragma once

#include "belcor_sim.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// Every event the firmware and the boot loader saw, in order; programmers
// working side by side record into it from their own threads. Data events
// can be switched off: a 64 MiB benchmark would otherwise record a quarter of
// a million of them.
class Transcript {
public:
    void record(int kind, int endpoint, uint32_t length, int result, uint32_t address,
                const uint8_t* bytes, size_t byteCount);
    bool recordsData() const { return dataEnabled_; }
    void setDataEnabled(bool enabled) { dataEnabled_ = enabled; }
    void clear();
    size_t size() const;
    // False for an index past the end.
    bool at(size_t index, belcor_sim_event& event) const;
    // A copy of one event; all zero past the end.
    belcor_sim_event at(size_t index) const;

private:
    mutable std::mutex mutex_;
    std::vector<belcor_sim_event> events_;
    std::atomic<bool> dataEnabled_{true};
};
