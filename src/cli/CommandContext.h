#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "buffers/FlashLayout.h"
#include "cli/CommandLine.h"
#include "cli/TerminalHost.h"
#include "ops/ChipOperations.h"
#include "ops/OwnedWorkbench.h"

// What every command family works with: the parsed line, the terminal, a
// workbench of its own, and the steps several families share (the chip
// database, the chip, the range, the image).
class CommandContext {
public:
    CommandContext(const CommandLine& line, TerminalHost& host, std::string executablePath);

    const CommandLine& line;
    TerminalHost& host;
    const std::string executablePath;
    OwnedWorkbench workbench;
    // Whether the command settled on a chip (named, detected or the job's):
    // the current chip of the catalogue means nothing before.
    bool chipKnown = false;

    // False, the reason shown, when the chip database cannot be read.
    bool loadDatabase();
    // The chip --chip names, as an exit status: a name that fits several
    // chips is a wrong command line.
    int chooseChip();
    // The seated chip, when detection tells it exactly.
    bool detectChip();
    // "Chip: TITLE (SIZE bytes, page PAGE)" of the selected chip.
    std::string chipText() const;
    bool applyRange();
    // An exit status: a file that cannot be read, or one longer than the chip
    // without --yes, loads nothing.
    int loadFlashFile(const std::string& path);
    AutoOptions autoOptions() const;
    // The --layout file; empty, with its fault printed, when it cannot be read.
    std::optional<FlashLayout> readLayout();

    // The lines that open and close every batch.
    void printBatchStart();
    void printBatchEnd(int64_t done, int64_t failed);
};

// "0x" and the value's hexadecimal digits.
std::string HexNumberText(uint32_t value);
