#pragma once

#include <string>

#include "core/MessageCatalogue.h"
#include "ops/ChipOperations.h"

struct ChipRecord;
struct Workbench;
class OperationHost;

// The steps every chip operation's frame is made of, shared by Read, Erase,
// Write, Verify, AUTO, Update and Remove protection.

// The text of `message` in the workbench's language.
const std::string& FrameText(const Workbench& workbench, Msg message);

// Everything that would reach outside the chip or the buffer, refused before
// the session opens; empty when `operation` with `options` may run.
std::string RefusalOf(const Workbench& workbench, const ChipRecord& chip, Operation operation,
                      const AutoOptions& options);

// DeviceSessionBegin; when it fails, the session is ended again and the state
// panel reads "Not connected". On success the start time is taken.
bool OpenFramedSession(Workbench& workbench, OperationHost& host);

// The end time, the elapsed time in the time panel, and the beep.
void ShowTiming(Workbench& workbench, OperationHost& host);

// `text`, " (", the time of day, ")" as the new first line of the log pane.
void LogCompletion(OperationHost& host, const std::string& text);
