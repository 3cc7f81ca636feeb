#pragma once

#include <string>

// The release every program of the package belongs to, answered to
// --version before anything else starts: it needs no display, programmer,
// settings or chip database.
namespace ProgramVersion {

// True when the command line is "--version" alone.
bool isAsked(int argc, const char* const* argv);

// "PROGRAM VERSION" and a newline, as --version prints it.
std::string text(const std::string& program);

}  // namespace ProgramVersion
