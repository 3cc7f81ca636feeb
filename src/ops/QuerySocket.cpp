#include "ops/QuerySocket.h"

#include "link/DeviceSession.h"
#include "core/Workbench.h"

int QuerySocket(Workbench& workbench, OperationHost& host, std::array<uint8_t, 4>& reply)
{
    workbench.busy = true;
    const int result = IdentifyChip(workbench, host, reply);
    workbench.busy = false;
    return result;
}
