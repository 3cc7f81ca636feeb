#include "station/StationMetrics.h"

#include <cstdio>

namespace {

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

void help(std::string& out, const char* name, const char* type, const char* text)
{
    out += std::string("# HELP ") + name + " " + text + "\n# TYPE " + name + " " + type + "\n";
}

}  // namespace

std::string StationMetrics::labelValue(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

void StationMetrics::countChip(const std::string& programmer, const std::string& job, ChipResult result,
                               int64_t cycleMs)
{
    const double seconds = static_cast<double>(cycleMs) / 1000.0;
    const std::lock_guard lock(mutex_);
    ++chips_[{ChipResultWord(result), programmer, job}];
    Histogram& histogram = cycles_[programmer];
    for (size_t i = 0; i < CycleBuckets.size(); ++i) {
        if (seconds <= CycleBuckets[i])
            ++histogram.buckets[i];
    }
    ++histogram.count;
    histogram.sum += seconds;
}

std::string StationMetrics::render(const Gauges& gauges) const
{
    std::string out;
    help(out, "belcor_station_info", "gauge", "The station's name and the service's version.");
    out += "belcor_station_info{station=\"" + labelValue(gauges.station) + "\",version=\"" +
           labelValue(gauges.version) + "\"} 1\n";
    help(out, "belcor_station_running", "gauge", "1 while a production run goes on.");
    out += "belcor_station_running " + std::string(gauges.running ? "1" : "0") + "\n";
    {
        const std::lock_guard lock(mutex_);
        help(out, "belcor_chips_total", "counter", "Chips finished since the service started, by result.");
        for (const auto& [key, count] : chips_) {
            const auto& [result, programmer, job] = key;
            out += "belcor_chips_total{result=\"" + result + "\",programmer=\"" + labelValue(programmer) +
                   "\",job=\"" + labelValue(job) + "\"} " + std::to_string(count) + "\n";
        }
        help(out, "belcor_chip_cycle_seconds", "histogram",
             "Time from one chip's end to the next one's on the same programmer.");
        for (const auto& [programmer, histogram] : cycles_) {
            const std::string label = "programmer=\"" + labelValue(programmer) + "\"";
            for (size_t i = 0; i < CycleBuckets.size(); ++i)
                out += "belcor_chip_cycle_seconds_bucket{" + label + ",le=\"" + number(CycleBuckets[i]) + "\"} " +
                       std::to_string(histogram.buckets[i]) + "\n";
            out += "belcor_chip_cycle_seconds_bucket{" + label + ",le=\"+Inf\"} " + std::to_string(histogram.count) +
                   "\n";
            out += "belcor_chip_cycle_seconds_sum{" + label + "} " + number(histogram.sum) + "\n";
            out += "belcor_chip_cycle_seconds_count{" + label + "} " + std::to_string(histogram.count) + "\n";
        }
    }
    help(out, "belcor_programmer_up", "gauge", "1 while the programmer answers on the bus.");
    for (const auto& [programmer, up] : gauges.programmersUp)
        out += "belcor_programmer_up{programmer=\"" + labelValue(programmer) + "\"} " + (up ? "1" : "0") + "\n";
    help(out, "belcor_log_backlog_records", "gauge", "Records the line server has not yet confirmed.");
    out += "belcor_log_backlog_records " + std::to_string(gauges.logBacklog) + "\n";
    if (gauges.serialsLeft) {
        help(out, "belcor_serials_left", "gauge", "Serial numbers the job's rule can still write.");
        out += "belcor_serials_left{job=\"" + labelValue(gauges.serialsLeft->first) + "\"} " +
               std::to_string(gauges.serialsLeft->second) + "\n";
    }
    return out;
}
