#pragma once

#include <array>
#include <cstdint>

class CommandBlock;
class OperationHost;
class TUsbBulk;
struct Workbench;

// The routines that open and close the programmer link around the command
// blocks. A chip operation is DeviceSessionBegin, its blocks and data streams,
// then DeviceSessionEnd; ConnectionCheck and IdentifyChip open and close the
// link themselves and must not run inside a session. They read the selected
// chip (catalogue.currentRecord()), speed and languageIndex of the workbench.
//
// Transfer results are passed back rather than dropped, so that callers can
// report a failed or short transfer.

// Result of DeviceSessionBegin and IdentifyChip when the programmer was opened
// but its reply did not arrive whole.
constexpr int SessionExchangeFailed = -1;

// prog_open with the application's programmer identity; 1 when open, else 0.
int openProgrammer(TUsbBulk& link);

// USB_bulk_cmd of the whole 64-byte block; result of the last transfer.
int sendCommand(TUsbBulk& link, CommandBlock& block, int replyFlag);

// Is a programmer there? Logs the "detected" line (unless the newest log line
// already reads the same, letter case ignored) and shows "Connected", or shows
// "Not connected". Does nothing while a session is open (workbench.busy),
// because it would close the link under the running operation.
void ConnectionCheck(Workbench& workbench, OperationHost& host);

// Opens the link and sends BeginSession with the selected chip's parameters.
// Result: 0 when no programmer could be opened (after the error box "Not
// connected"), else 6 for a class 0 chip, 4 for class 1, 1 for any other
// class; the link then stays open and workbench.busy is set. When the
// BeginSession reply is lost: the error box "Communication with the programmer
// failed. Please try again." and SessionExchangeFailed.
int DeviceSessionBegin(Workbench& workbench, OperationHost& host);

// Sends EndSession (nothing when the link is closed), closes the link, shows
// "Connected" (or "Not connected" when EndSession could not be sent on the open
// link: the programmer has gone) and clears workbench.busy. Result: the
// EndSession transfer's.
int DeviceSessionEnd(Workbench& workbench, OperationHost& host);

// One Identify exchange in its own open-close cycle. Result 7 with reply bytes
// 0-3 in `reply`, 0 when no programmer could be opened, SessionExchangeFailed
// when the reply did not arrive whole (`reply` untouched and no message in
// both failures).
int IdentifyChip(Workbench& workbench, OperationHost& host, std::array<uint8_t, 4>& reply);

// Inside a session: switches the chip to four-byte addressing (instruction
// 0xB7), needed for chips above 16 MiB. Result of the command's last transfer.
int EnterFourByteMode(Workbench& workbench);

// Inside a session: the address the next data stream starts at; with a reply
// before reads, without before writes. Result of the command's last transfer.
int SetStartAddress(Workbench& workbench, uint32_t address, int replyFlag);
