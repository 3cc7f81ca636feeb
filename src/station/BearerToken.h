#pragma once

#include <optional>
#include <string>
#include <string_view>

// The station's one key. Every call but the metrics and the page's files
// carries it as "Authorization: Bearer TOKEN"; it is compared in constant
// time, so the answer's timing tells nothing about how much of a guess was
// right.
class BearerToken {
public:
    // The first line of `path`, blanks around it dropped. Nothing, with
    // `error` set, when the file cannot be read or the token is shorter than
    // MinimumLength.
    static std::optional<BearerToken> readFile(const std::string& path, std::string& error);
    explicit BearerToken(std::string token);

    enum class Check { Missing, Wrong, Right };
    // The value of an Authorization header (empty when there was none).
    Check check(std::string_view authorization) const;

    static constexpr size_t MinimumLength = 16;

private:
    std::string digest_;  // SHA-256 of the token: the comparison's length never depends on the guess
};
