#pragma once

#include "belcor_sim.h"

#include <cstdint>
#include <vector>

// Every event the firmware and the boot loader saw, in order. Data events can
// be switched off: a 64 MiB benchmark would otherwise record a quarter of a
// million of them.
class Transcript {
public:
    void record(int kind, int endpoint, uint32_t length, int result, uint32_t address,
                const uint8_t* bytes, size_t byteCount);
    bool recordsData() const { return dataEnabled_; }
    void setDataEnabled(bool enabled) { dataEnabled_ = enabled; }
    void clear() { events_.clear(); }
    size_t size() const { return events_.size(); }
    const belcor_sim_event& at(size_t index) const { return events_[index]; }

private:
    std::vector<belcor_sim_event> events_;
    bool dataEnabled_ = true;
};
