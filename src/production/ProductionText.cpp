#include "production/ProductionText.h"

std::string ProductionText(Msg message, int language, std::initializer_list<std::string> arguments)
{
    std::string text = MessageCatalogue::text(message, language);
    int number = 1;
    for (const std::string& argument : arguments) {
        const std::string marker = "%" + std::to_string(number++);
        if (const size_t at = text.find(marker); at != std::string::npos)
            text.replace(at, marker.size(), argument);
    }
    return text;
}
