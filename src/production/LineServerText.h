#pragma once

#include <string>

#include "production/LogForwarder.h"

// The line server's state in whole sentences, in `language`: whether every
// record is stored, how many wait and why, and how many it refused.
std::string LineServerText(const LogForwarder::Status& status, int language);
