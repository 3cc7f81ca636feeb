#pragma once

#include <deque>
#include <mutex>
#include <string>

// Protocol mistakes seen by the simulated firmware. Each is kept for the tests
// and printed on stderr at once, so that a mistake is loud even in the demo.
// Programmers on several threads record into one log; a message once recorded
// stays where it is until the log is cleared.
class ProtocolLog {
public:
    void record(const std::string& message);
    void clear();
    size_t size() const;
    const std::string& at(size_t index) const;

private:
    mutable std::mutex mutex_;
    std::deque<std::string> messages_;
};
