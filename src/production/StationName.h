#pragma once

#include <string>

// The name a station's records carry unless it was given one: its host name.
std::string StationName();
