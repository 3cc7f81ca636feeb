#pragma once

// What belcor-cli's process returns.
namespace ExitStatus {

constexpr int Success = 0;
// The command ran and failed (for compare: the files differ).
constexpr int Failure = 1;
// A wrong command line.
constexpr int UsageError = 2;
// compare: a file cannot be read, told apart from files that differ.
constexpr int CompareError = 2;
// Neither of the above: an error nobody expected.
constexpr int UnexpectedFailure = 3;

}  // namespace ExitStatus
