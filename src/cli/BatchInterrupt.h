#pragma once

// Ctrl-C while a batch runs: the first one lets the batch finish the chip in
// hand, a second one ends the process at once. Armed for the object's life.
class BatchInterrupt {
public:
    BatchInterrupt();
    ~BatchInterrupt();
    BatchInterrupt(const BatchInterrupt&) = delete;
    BatchInterrupt& operator=(const BatchInterrupt&) = delete;

    static bool requested();
};
