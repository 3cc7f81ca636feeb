#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

// belcor-cli --json: the command runs as without it, its results and fault
// gathered by a JsonHost; `out` then gets exactly one JSON object, whatever
// happened (an unexpected error included), and `events` one JSON object a
// line meanwhile. The exit status is the command's.
int RunWithJson(const CommandLine& line, const std::string& executablePath, std::FILE* out, std::FILE* events);

// A command line that could not be parsed, answered in JSON: a usage error.
int RefuseWithJson(const std::vector<std::string>& arguments, const std::string& error, std::FILE* out);
