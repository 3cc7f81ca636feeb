#pragma once

#include <cstddef>
#include <cstdint>

// One chip's parameters. The layout is the database file's record layout: 68
// packed bytes, multi-byte fields little-endian. Code on a big-endian host must
// go through ChipDatabaseFile::encodeRecord and decodeRecord rather than copy
// the struct.
#pragma pack(push, 1)
struct ChipRecord {
    char title[48];        // "type,manufacturer,name" in code page 936, NUL-terminated
    uint32_t chipId;       // 25-series: JEDEC bytes 0x00MMTTCC
    uint32_t flashSize;    // bytes
    uint16_t flashPage;    // bytes
    uint8_t chipClass;     // ChipClass
    uint8_t algorithm;     // meaning by class; forwarded to the programmer
    uint16_t delay;        // erase allowance
    uint16_t xmlLink;      // 0 = no CONFIG tab
    uint16_t eepromSize;   // bytes, 0 = no data EEPROM
    uint8_t eepromPage;
    uint8_t voltage;       // 0 = 3.3 V, 1 = 1.8 V
};
#pragma pack(pop)

static_assert(sizeof(ChipRecord) == 68);
static_assert(offsetof(ChipRecord, title) == 0);
static_assert(offsetof(ChipRecord, chipId) == 48);
static_assert(offsetof(ChipRecord, flashSize) == 52);
static_assert(offsetof(ChipRecord, flashPage) == 56);
static_assert(offsetof(ChipRecord, chipClass) == 58);
static_assert(offsetof(ChipRecord, algorithm) == 59);
static_assert(offsetof(ChipRecord, delay) == 60);
static_assert(offsetof(ChipRecord, xmlLink) == 62);
static_assert(offsetof(ChipRecord, eepromSize) == 64);
static_assert(offsetof(ChipRecord, eepromPage) == 66);
static_assert(offsetof(ChipRecord, voltage) == 67);

enum ChipClass : uint8_t {
    SpiFlash25 = 0,
    I2cEeprom24 = 1,
    MicrowireEeprom93 = 2,
    SpiEeprom95 = 3,
    Avr = 4,
};

// Sizes above this need the chip's four-byte address mode.
constexpr uint32_t FourByteAddressThreshold = 0x1000000;
