#include "station/LineCache.h"

#include <nlohmann/json.hpp>

#include "production/LineOverview.h"
#include "station/ApiReply.h"

using nlohmann::json;

namespace {

// A station whose newest record is older than this shows as silent.
constexpr double SilentAfterSeconds = 300;

std::string overviewJson(const std::vector<LineStation>& stations)
{
    json list = json::array();
    for (const LineStation& station : stations) {
        json failures = json::array();
        for (const auto& [text, count] : station.failures)
            failures.push_back({{"message", text}, {"count", count}});
        list.push_back({{"station", station.station},
                        {"last_time", station.lastTime},
                        {"last_age_seconds", station.lastAgeSeconds},
                        {"alive", station.lastAgeSeconds < SilentAfterSeconds},
                        {"chips_last_hour", station.chipsLastHour},
                        {"passed_last_hour", station.passedLastHour},
                        {"failures", failures}});
    }
    return JsonText(json{{"stations", list}, {"silent_after_seconds", SilentAfterSeconds}});
}

}  // namespace

LineCache::LineCache(std::unique_ptr<LineOverview> overview) : overview_(std::move(overview))
{
    thread_ = std::thread([this] { run(); });
}

LineCache::~LineCache()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

LineCache::Answer LineCache::get()
{
    const std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    if (!querying_ && (!hasAnswer_ || now - answeredAt_ >= FreshFor)) {
        wanted_ = true;
        wake_.notify_one();
    }
    if (querying_ && now - querySince_ >= Patience) {
        const auto waited = std::chrono::duration_cast<std::chrono::seconds>(now - querySince_).count();
        return {false, "no answer for " + std::to_string(waited) + " s"};
    }
    if (!hasAnswer_)
        return {false, "no answer yet"};
    return answer_;
}

void LineCache::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return wanted_ || stopping_; });
        if (stopping_)
            return;
        wanted_ = false;
        querying_ = true;
        querySince_ = Clock::now();
        lock.unlock();
        std::vector<LineStation> stations;
        std::string error;
        Answer fresh;
        fresh.answered = overview_->query(stations, error);
        fresh.text = fresh.answered ? overviewJson(stations) : error;
        lock.lock();
        querying_ = false;
        answer_ = std::move(fresh);
        hasAnswer_ = true;
        answeredAt_ = Clock::now();
    }
}
