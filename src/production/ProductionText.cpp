#include "production/ProductionText.h"

std::string ProductionText(Msg message, int language, std::initializer_list<std::string> arguments)
{
    return MessageCatalogue::format(message, language, arguments);
}
