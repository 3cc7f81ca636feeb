#pragma once

#include "model/Simulator.h"

#include <mutex>
#include <shared_mutex>
#include <string>

// The one simulated world behind the library's C entry points.
Simulator& simulator();

// What an entry point holds while it works: the world shared (transfers and
// controls), or whole (a reset, a scenario, a device arriving).
inline std::shared_lock<std::shared_mutex> shareWorld()
{
    return std::shared_lock(simulator().world());
}

inline std::unique_lock<std::shared_mutex> holdWorld()
{
    return std::unique_lock(simulator().world());
}

// Runs `body`, turning any exception into `failure`: nothing may escape
// through a C entry point. Hot-plug callbacks raised inside run afterwards,
// once the body has let go of its locks.
template <typename Result, typename Body>
Result callSafely(Result failure, Body&& body) noexcept
{
    Result result = failure;
    try {
        result = body();
    } catch (...) {
    }
    try {
        simulator().deliverNotifications();
    } catch (...) {
    }
    return result;
}

template <typename Body>
void callSafely(Body&& body) noexcept
{
    callSafely(0, [&] {
        body();
        return 0;
    });
}
