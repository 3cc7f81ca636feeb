#pragma once

#include <initializer_list>
#include <string>

#include <QString>

#include "core/MessageCatalogue.h"

// A catalogue text as the bench dialogs show it, with %1, %2, ... filled in.
inline QString benchText(Msg id, int language, std::initializer_list<std::string> arguments = {})
{
    return QString::fromStdString(MessageCatalogue::format(id, language, arguments));
}
