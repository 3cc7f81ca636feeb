#pragma once

#include <cstdint>

#include "chips/ChipRecord.h"

// What BeginSession and Identify tell the programmer about the selected chip:
// the record's parameters plus the low byte of the SPEED setting.
struct ChipParameters {
    uint8_t chipClass = 0;
    uint8_t algorithm = 0;
    uint16_t flashPage = 0;
    uint16_t delay = 0;
    uint32_t flashSize = 0;
    uint32_t chipId = 0;
    uint8_t speed = 0;
    uint8_t voltage = 0;

    static ChipParameters fromRecord(const ChipRecord& record, int32_t speed)
    {
        return {record.chipClass, record.algorithm, record.flashPage,        record.delay,
                record.flashSize, record.chipId,    uint8_t(speed & 0xFF), record.voltage};
    }
};
