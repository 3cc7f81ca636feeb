#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A field of the chip image that takes one value per chip from a source
// beside the job: a value list, a range of MAC addresses, or a folder with
// one file per chip (keys, certificates, calibration data).
enum class ValueKind { List, Mac, Files };

// How a value list's lines are written into the chip.
enum class ValueForm {
    Hex,    // hex: a number in hexadecimal, written as upper-case ASCII digits (as a serial's hex form)
    Dec,    // dec: a decimal number, written as its ASCII digits
    Ascii,  // ascii: the line's bytes, printable ASCII only
    Bytes,  // bytes: raw bytes in hexadecimal, "DE AD BE EF" or "DEADBEEF"
};

struct ValueField {
    ValueKind kind = ValueKind::List;
    uint32_t address = 0;
    // List: the list file; Files: the folder. Relative to the job file's
    // folder unless absolute.
    std::string path;
    ValueForm form = ValueForm::Bytes;  // List
    std::string sha256;                 // List: of the file's bytes when the job was made
    uint64_t first = 0;                 // Mac
    uint64_t last = 0;                  // Mac, inclusive

    // The command line's form: "FILE:ADDRESS:FORM", "ADDRESS:FIRST:LAST" or "DIR:ADDRESS".
    std::string describe() const;
    // What the log keeps the field's position under, and messages name it by,
    // in no language: "keys.txt@0x80", "02:00:5E:10:00:00..02:00:5E:10:0F:FF@0x20",
    // "certs/@0x8000".
    std::string name() const;
};

const char* ValueFormName(ValueForm form);
std::optional<ValueForm> ValueFormNamed(const std::string& name);

// The command line's forms: --list FILE:ADDRESS:FORM, --mac ADDRESS:FIRST:LAST
// and --files DIR:ADDRESS. A path may hold colons itself, so the list's and
// the folder's fields are taken from the right. Nothing, with `error` set,
// for text that is none.
std::optional<ValueField> ParseListField(const std::string& text, std::string& error);
std::optional<ValueField> ParseMacField(const std::string& text, std::string& error);
std::optional<ValueField> ParseFilesField(const std::string& text, std::string& error);
