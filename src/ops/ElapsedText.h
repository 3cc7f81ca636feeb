#pragma once

#include <cstdint>
#include <string>

// A duration as the time panel shows it, "hh:mm:ss"; negative ones read 0.
std::string ElapsedText(int64_t milliseconds);
