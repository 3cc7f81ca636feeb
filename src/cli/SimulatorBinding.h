#pragma once

#include <string>

// Simulation mode: the USB and HID bindings load the programmer simulator
// beside the executable instead of the system libraries, and the simulator
// is set up from a scenario file. The simulator is found by file name and
// never linked, exactly as the real libraries are.
//
// Returns an empty text on success, otherwise what went wrong.
std::string BindSimulator(const std::string& executableFolder, const std::string& scenario);
