#pragma once

#include <initializer_list>
#include <string>

#include "core/MessageCatalogue.h"

// A catalogue text in `language` with %1, %2, ... replaced by `arguments`.
std::string ProductionText(Msg message, int language, std::initializer_list<std::string> arguments = {});
