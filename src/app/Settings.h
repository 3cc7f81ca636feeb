#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/IniFile.h"

// The settings file beside the executable: one typed getter per key with its
// default, and a setter for each key the application writes back. Getters
// read the file at the moment they are called; setters write through at once.
// It holds only these keys; what else Belcor remembers lives in OwnSettings.
class Settings {
public:
    explicit Settings(std::string path);

    // "<executable>.ini": the executable's path with its extension replaced.
    static std::string pathBeside(const std::string& executablePath, const std::string& extension);

    const std::string& path() const { return file_.path(); }

    // Environment: window placement, only ever read.
    bool formMax() const;
    int32_t formTop() const;
    int32_t formLeft() const;
    int32_t formHeight() const;
    int32_t formWidth() const;

    // CHIP: remembered positions of the Type, Manufacturer and Name lists.
    int32_t index1() const;
    int32_t index2() const;
    int32_t index3() const;
    bool setIndex1(int32_t value);
    bool setIndex2(int32_t value);
    bool setIndex3(int32_t value);

    // DEVICE: maintenance mode (only read), speed code and language.
    int32_t deviceChip() const;
    int32_t speed() const;
    // Always 0, 1 or 2; Simplified Chinese when nothing usable is stored.
    int32_t language() const;
    bool setSpeed(int32_t value);
    bool setLanguage(int32_t value);

    // A profile integer: "0x"/"0X" followed by digits, or "$" followed by
    // digits, is hexadecimal (up to 32 bits, wrapping into the sign), else an
    // optionally signed decimal within 32 bits; anything else is nothing.
    static std::optional<int32_t> parseInteger(const std::string& text);

private:
    int32_t readInteger(const char* section, const char* key, int32_t fallback) const;
    bool writeInteger(const char* section, const char* key, int32_t value);

    IniFile file_;
};
