#pragma once

#include <QString>

#include "core/MessageCatalogue.h"

// A catalogue text as the bench dialogs show it, with %1, %2, ... filled in.
inline QString benchText(Msg id, int language)
{
    return QString::fromStdString(MessageCatalogue::text(id, language));
}
