#pragma once

#include "model/Simulator.h"

#include <string>

// The one simulated world behind the library's C entry points.
Simulator& simulator();

// Runs `body`, turning any exception into `failure`: nothing may escape
// through a C entry point.
template <typename Result, typename Body>
Result callSafely(Result failure, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

template <typename Body>
void callSafely(Body&& body) noexcept
{
    try {
        body();
    } catch (...) {
    }
}
