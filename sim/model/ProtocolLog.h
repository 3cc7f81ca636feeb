#pragma once

#include <string>
#include <vector>

// Protocol mistakes seen by the simulated firmware. Each is kept for the tests
// and printed on stderr at once, so that a mistake is loud even in the demo.
class ProtocolLog {
public:
    void record(const std::string& message);
    void clear();
    size_t size() const;
    const std::string& at(size_t index) const;

private:
    std::vector<std::string> messages_;
};
