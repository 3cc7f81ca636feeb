#pragma once

#include <string>

// Names a running process beyond its lifetime: the boot, the process id and
// the moment it started. A reservation carries its owner's identity, so that
// whoever opens the log next can tell a chip still under way in another
// program from one whose program died (killed, crashed, a power cut).
namespace ProcessIdentity {

// "BOOT-ID/PID/START" of this process.
std::string current();
// Whether the process `identity` names still runs. An identity from another
// boot, or of a process id now held by a later process, is gone.
bool alive(const std::string& identity);

}  // namespace ProcessIdentity
