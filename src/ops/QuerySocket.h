#pragma once

#include <array>
#include <cstdint>

struct Workbench;
class OperationHost;

// IdentifyChip's result when the programmer answered.
constexpr int SocketAnswered = 7;

// One Identify exchange for detection and batch mode. The workbench counts as
// busy meanwhile, since the link's reply pause waits through the host, whose
// window may handle clicks. Returns IdentifyChip's result, with reply bytes 0-3.
int QuerySocket(Workbench& workbench, OperationHost& host, std::array<uint8_t, 4>& reply);
