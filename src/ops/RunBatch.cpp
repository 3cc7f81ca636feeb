#include <array>

#include "ops/BatchCounter.h"
#include "ops/ChipOperations.h"
#include "core/OperationHost.h"
#include "ops/QuerySocket.h"
#include "core/Workbench.h"

namespace {

constexpr uint32_t QueryIntervalMs = 150;

}  // namespace

void RunBatch(Workbench& workbench, OperationHost& host, const AutoOptions& options,
              const std::function<bool()>& buttonDown, BatchChipHooks* hooks)
{
    if (workbench.busy) {
        host.beep();
        return;
    }
    BatchCounter counter;
    // The pause between queries and the query's reply pause handle events too,
    // STOP among them: the button is looked at after each, so that no chip is
    // touched once STOP was clicked.
    while (buttonDown()) {
        std::array<uint8_t, 4> reply{};
        // A query that found no programmer changes nothing.
        const bool answered = QuerySocket(workbench, host, reply) == SocketAnswered;
        if (hooks && !hooks->queried(answered))
            return;
        const bool chipSeated = answered && counter.query(reply[0]);
        if (answered && hooks && counter.sightings() == 0)
            hooks->socketEmpty();
        if (chipSeated && buttonDown()) {
            if (hooks && !hooks->beforeChip(reply))
                return;
            const bool passed = RunOperation(workbench, host, Operation::Auto, options);
            if (hooks && !hooks->afterChip(passed))
                return;
            if (hooks && hooks->chipTakenOutMeanwhile())
                counter = BatchCounter();
        }
        // Menu commands and the STOP click are handled here, between two queries.
        host.pumpEvents();
        if (buttonDown())
            host.sleepMs(QueryIntervalMs);
    }
}
