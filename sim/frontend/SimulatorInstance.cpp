#include "frontend/SimulatorInstance.h"

Simulator& simulator()
{
    static Simulator instance;
    return instance;
}
