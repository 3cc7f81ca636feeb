#pragma once

#include <string>
#include <utility>

// What a chip routine reports: success, or the one message that says what
// failed and where, made where the fault was found and shown once by the frame.
class Outcome {
public:
    static Outcome success() { return Outcome(); }
    static Outcome failure(std::string message) { return Outcome(std::move(message)); }

    bool ok() const { return !failed_; }
    const std::string& message() const { return message_; }

private:
    Outcome() = default;
    explicit Outcome(std::string message) : failed_(true), message_(std::move(message)) {}

    bool failed_ = false;
    std::string message_;
};
