#include "production/LineServerText.h"

#include "core/MessageCatalogue.h"

std::string LineServerText(const LogForwarder::Status& status, int language)
{
    const std::string waiting = std::to_string(status.waiting);
    std::string text;
    if (status.timedOut)
        text = MessageCatalogue::format(Msg::LineServerNoAnswer, language, {waiting});
    else if (!status.reachable && !status.error.empty())
        text = MessageCatalogue::format(Msg::LineServerFailed, language, {status.error, waiting});
    else if (status.waiting == 0 && status.reachable)
        // Records set aside are not stored: "every record" would be untrue.
        text = MessageCatalogue::text(status.setAside.count > 0 ? Msg::PostgresNoneWaiting : Msg::PostgresReachable,
                                      language);
    else
        text = MessageCatalogue::format(Msg::PostgresPending, language, {waiting});
    if (status.setAside.count > 0) {
        // Chinese runs its sentences on without a space.
        if (MessageCatalogue::normalisedLanguage(language) == English)
            text += ' ';
        text += MessageCatalogue::format(Msg::LineServerSetAside, language,
                                         {std::to_string(status.setAside.count), status.setAside.lastReason});
    }
    return text;
}
