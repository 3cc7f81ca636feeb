#pragma once

// What belcor-cli's process returns: one meaning each, so that a script can
// tell what to do next from the number alone.
namespace ExitStatus {

constexpr int Success = 0;
// The operation ran and failed on the chip, a question was declined for want
// of --yes, or (compare) the files differ; also an error nobody expected.
constexpr int Failure = 1;
// A wrong command line, an unknown or ambiguous chip name included.
constexpr int UsageError = 2;
// No programmer answered, or it was lost during the command.
constexpr int NoProgrammer = 3;
// A file (an image, a job, a PIN file, a log, an output) cannot be read or written.
constexpr int FileError = 4;
// Production refused to go on: the job, its target, the PIN or the line server.
constexpr int ProductionRefused = 5;

}  // namespace ExitStatus
