#pragma once

#include <string>

#include "production/GangRun.h"
#include "production/ProductionJob.h"

// Why a production run must not start, the same for every front end; each
// turns the reason into its own answer (a box, an exit status, an HTTP status
// and code) but none decides it again.
enum class RunRefusal {
    None,
    GoodTargetReached,  // the job has its target of good chips already
    OperatorRequired,   // the job wants its operator named and none is
};

// A job with its good chips made is refused whoever runs it, so that comes
// first: nobody is asked for a name only to be told there is nothing to do.
RunRefusal RefusalOfRun(const ProductionJob& job, const GangRun::Settings& settings);

// The refusal in words, in `language`; empty for None.
std::string RunRefusalText(RunRefusal refusal, const ProductionJob& job, const GangRun::Settings& settings,
                           int language);
