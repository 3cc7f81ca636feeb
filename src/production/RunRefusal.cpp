#include "production/RunRefusal.h"

#include "core/MessageCatalogue.h"

RunRefusal RefusalOfRun(const ProductionJob& job, const GangRun::Settings& settings)
{
    if (settings.goodTarget && settings.goodBefore >= *settings.goodTarget)
        return RunRefusal::GoodTargetReached;
    if (job.operatorRequired && settings.operatorName.empty())
        return RunRefusal::OperatorRequired;
    return RunRefusal::None;
}

std::string RunRefusalText(RunRefusal refusal, const ProductionJob& job, const GangRun::Settings& settings,
                           int language)
{
    switch (refusal) {
    case RunRefusal::None:
        break;
    case RunRefusal::GoodTargetReached:
        return MessageCatalogue::format(Msg::GoodTargetAlreadyReached, language,
                                        {std::to_string(settings.goodBefore), std::to_string(*settings.goodTarget)});
    case RunRefusal::OperatorRequired:
        return MessageCatalogue::format(Msg::OperatorRequired, language, {job.name});
    }
    return {};
}
