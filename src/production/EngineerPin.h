#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The PIN that lets an engineer close, edit or reset a job on the line. Only
// a salted PBKDF2-SHA256 hash of it is kept, so a job file passed around the
// line never tells the PIN.
struct EngineerPin {
    static constexpr size_t ShortestPin = 4;
    static constexpr size_t LongestPin = 64;
    static constexpr uint32_t DefaultIterations = 100000;
    // A hand-edited job could otherwise make each check take minutes.
    static constexpr uint32_t LeastIterations = 1000;
    static constexpr uint32_t MostIterations = 2000000;

    uint32_t iterations = DefaultIterations;
    std::string salt;  // 32 hex digits
    std::string hash;  // 64 hex digits

    // A new hash of `pin` under a random salt; nothing when the random
    // source fails.
    static std::optional<EngineerPin> of(const std::string& pin, uint32_t iterations = DefaultIterations);
    // Empty when `pin` can be a PIN, else why not (English; the views use
    // their own texts for the same rule).
    static std::string problemOf(const std::string& pin);
    // Whether `pin` is the PIN, compared in constant time.
    bool matches(const std::string& pin) const;
    // Empty when the stored fields can be used, else which is wrong.
    std::string problem() const;
};
