#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How a serial number is written into each chip's copy of the image: at
// `address`, `width` bytes (1-8), in one of five forms, starting at `first`
// and going up by `step`.
enum class SerialForm {
    LittleEndian,  // le: binary, least significant byte first
    BigEndian,     // be: binary, most significant byte first
    Bcd,           // bcd: packed BCD, two digits a byte, most significant first
    Decimal,       // dec: ASCII digits, zero-padded to fill the width after the prefix
    Hexadecimal,   // hex: ASCII upper-case hex digits, likewise
};

struct SerialRule {
    uint32_t address = 0;
    uint32_t width = 4;
    SerialForm form = SerialForm::LittleEndian;
    uint64_t first = 1;
    uint64_t step = 1;
    std::string prefix;          // dec and hex only; counts within the width
    bool reuseFailed = false;    // a failed chip's serial goes to the next chip

    // The largest value the width and form can hold (0 when the prefix leaves
    // no room for a digit).
    uint64_t maximum() const;
    // The bytes written for `value`; nothing when it does not fit.
    std::optional<std::vector<uint8_t>> encode(uint64_t value) const;
    // The value issued after `value`; nothing when adding the step would pass
    // 2^64 or the maximum, so that a sequence ends instead of repeating its end.
    std::optional<uint64_t> after(uint64_t value) const;
    // The serial as logged: the text written for dec and hex, the decimal
    // value for the binary forms.
    std::string text(uint64_t value) const;
    // Empty when the rule can be used, else why not.
    std::string problem() const;
    // "ADDRESS:WIDTH:FORM:FIRST[:STEP]", the command line's form.
    std::string describe() const;
};

// The form's short name (le, be, bcd, dec, hex) and back.
const char* SerialFormName(SerialForm form);
std::optional<SerialForm> SerialFormNamed(const std::string& name);

// One number of a rule: in `base`, or hexadecimal after 0x.
bool ParseRuleNumber(std::string text, int base, uint64_t& value);

// Parses "ADDRESS:WIDTH:FORM:FIRST[:STEP]": ADDRESS hexadecimal with or without
// 0x, WIDTH and FIRST and STEP decimal or 0x-hexadecimal. Returns the rule, or
// nothing with `error` set.
std::optional<SerialRule> ParseSerialRule(const std::string& text, std::string& error);
