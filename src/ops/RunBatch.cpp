#include <array>

#include "link/DeviceSession.h"
#include "ops/ChipOperations.h"
#include "ops/OperationHost.h"
#include "ops/Workbench.h"

namespace {

constexpr int IdentifyExchanged = 7;
constexpr uint32_t QueryIntervalMs = 150;
// A chip must be seen this many times in a row before it is programmed, so
// that one half-seated while being put in is not written.
constexpr int SightingsBeforeAuto = 5;
constexpr int Programmed = SightingsBeforeAuto + 1;

}  // namespace

void RunBatch(Workbench& workbench, OperationHost& host, const AutoOptions& options,
              const std::function<bool()>& buttonDown)
{
    if (workbench.busy) {
        host.beep();
        return;
    }
    int sightings = 0;
    for (;;) {
        std::array<uint8_t, 4> reply{};
        workbench.busy = true;
        const int result = IdentifyChip(workbench, host, reply);
        workbench.busy = false;
        if (result == IdentifyExchanged) {
            // Codes from 128 up read as negative: they neither count nor reset.
            const int8_t presence = static_cast<int8_t>(reply[0]);
            if (presence == 0)
                sightings = 0;
            if (sightings < SightingsBeforeAuto) {
                if (presence > 0)
                    ++sightings;
            } else if (sightings == SightingsBeforeAuto) {
                // Stays at Programmed until the socket is seen empty: once per chip.
                sightings = Programmed;
                RunOperation(workbench, host, Operation::Auto, options);
            }
        }
        // Menu commands and the STOP click are handled here, between two queries.
        host.pumpEvents();
        if (!buttonDown())
            return;
        host.sleepMs(QueryIntervalMs);
    }
}
