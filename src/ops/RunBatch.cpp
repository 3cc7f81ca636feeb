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
    for (;;) {
        std::array<uint8_t, 4> reply{};
        // A query that found no programmer changes nothing.
        if (QuerySocket(workbench, host, reply) == SocketAnswered && counter.query(reply[0])) {
            if (hooks && !hooks->beforeChip(reply))
                return;
            const bool passed = RunOperation(workbench, host, Operation::Auto, options);
            if (hooks && !hooks->afterChip(passed))
                return;
        }
        // Menu commands and the STOP click are handled here, between two queries.
        host.pumpEvents();
        if (!buttonDown())
            return;
        host.sleepMs(QueryIntervalMs);
    }
}
