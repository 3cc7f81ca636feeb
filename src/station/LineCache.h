#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class LineOverview;

// The whole line's overview for every monitor, from one query at a time on
// a thread of its own. A monitor never waits on the line server: it gets the
// last answer, or the last failure, at once, and a refresh is asked for when
// that is older than a second. No lock is held across a query.
class LineCache {
public:
    using Clock = std::chrono::steady_clock;

    explicit LineCache(std::unique_ptr<LineOverview> overview);
    ~LineCache();
    LineCache(const LineCache&) = delete;
    LineCache& operator=(const LineCache&) = delete;

    struct Answer {
        bool answered = false;
        std::string text;  // the overview's JSON when answered, else why not
    };
    Answer get();

    // A refresh that takes longer than this counts as a server not answering.
    static constexpr auto Patience = std::chrono::seconds(2);
    static constexpr auto FreshFor = std::chrono::seconds(1);

private:
    void run();

    std::unique_ptr<LineOverview> overview_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool wanted_ = true;
    bool stopping_ = false;
    bool querying_ = false;
    Clock::time_point querySince_;
    Clock::time_point answeredAt_;
    Answer answer_;
    bool hasAnswer_ = false;
    std::thread thread_;
};
