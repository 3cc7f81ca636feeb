#include "production/StationName.h"

#include <unistd.h>

#include <climits>

std::string StationName()
{
    char name[HOST_NAME_MAX + 1] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "unknown";
}
