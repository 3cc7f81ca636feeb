#include "ops/QuerySocket.h"

#include "core/BusyScope.h"
#include "link/DeviceSession.h"

int QuerySocket(Workbench& workbench, OperationHost& host, std::array<uint8_t, 4>& reply)
{
    BusyScope busy(workbench);
    return IdentifyChip(workbench, host, reply);
}
