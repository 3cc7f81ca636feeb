#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "production/ChipResult.h"

// The station's metrics in Prometheus' text format: chips by result,
// programmer and job, each programmer's cycle times as a histogram, and the
// gauges the service reads when it is scraped. Counting a chip takes one short
// lock on the seat's thread.
class StationMetrics {
public:
    void countChip(const std::string& programmer, const std::string& job, ChipResult result, int64_t cycleMs);

    // What is read at the moment of the scrape.
    struct Gauges {
        std::string station;
        std::string version;
        std::vector<std::pair<std::string, bool>> programmersUp;
        int64_t logBacklog = 0;  // records the line server has not confirmed
        std::optional<std::pair<std::string, uint64_t>> serialsLeft;  // job, serials before overflow
        bool running = false;
    };
    std::string render(const Gauges& gauges) const;

    // Upper bounds of the cycle histogram, in seconds: a chip takes from well
    // under a second (a small EEPROM) to minutes (a large flash chip).
    static constexpr std::array<double, 12> CycleBuckets = {0.25, 0.5, 1, 2, 3, 5, 8, 13, 21, 34, 60, 120};

    // A label value with \, " and line breaks escaped.
    static std::string labelValue(const std::string& text);

private:
    struct Histogram {
        std::array<uint64_t, CycleBuckets.size()> buckets{};
        uint64_t count = 0;
        double sum = 0;
    };
    mutable std::mutex mutex_;
    std::map<std::tuple<std::string, std::string, std::string>, uint64_t> chips_;  // result, programmer, job
    std::map<std::string, Histogram> cycles_;                                      // by programmer
};
