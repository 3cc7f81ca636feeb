#include "app/Settings.h"

#include <charconv>

#include "core/MessageCatalogue.h"
#include "core/RunningExecutable.h"

namespace {
constexpr char Environment[] = "Environment";
constexpr char Chip[] = "CHIP";
constexpr char Device[] = "DEVICE";
}  // namespace

Settings::Settings(std::string path) : file_(std::move(path)) {}

std::string Settings::pathBeside(const std::string& executablePath, const std::string& extension)
{
    return RunningExecutable::withExtension(executablePath, extension);
}

std::optional<int32_t> Settings::parseInteger(const std::string& text)
{
    std::string_view digits = text;
    int base = 10;
    if (digits.size() > 2 && (digits.starts_with("0x") || digits.starts_with("0X"))) {
        digits.remove_prefix(2);
        base = 16;
    } else if (digits.starts_with("$")) {
        digits.remove_prefix(1);
        base = 16;
    }
    if (digits.empty())
        return std::nullopt;

    if (base == 16) {
        // Eight digits fill the 32 bits; "$FFFFFFFF" is -1 as a signed setting.
        uint32_t value = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (error != std::errc() || end != digits.data() + digits.size())
            return std::nullopt;
        return static_cast<int32_t>(value);
    }

    if (digits.starts_with("+") && digits.size() > 1 && digits[1] != '-')
        digits.remove_prefix(1);
    int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 10);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty())
        return std::nullopt;
    return value;
}

int32_t Settings::readInteger(const char* section, const char* key, int32_t fallback) const
{
    const auto text = file_.readString(section, key);
    if (!text)
        return fallback;
    return parseInteger(*text).value_or(fallback);
}

bool Settings::writeInteger(const char* section, const char* key, int32_t value)
{
    return file_.writeString(section, key, std::to_string(value));
}

bool Settings::formMax() const { return readInteger(Environment, "FormMax", 0) != 0; }
int32_t Settings::formTop() const { return readInteger(Environment, "FormTop", 10); }
int32_t Settings::formLeft() const { return readInteger(Environment, "FormLeft", 10); }
int32_t Settings::formHeight() const { return readInteger(Environment, "FormHeight", 500); }
int32_t Settings::formWidth() const { return readInteger(Environment, "FormWidth", 700); }

int32_t Settings::index1() const { return readInteger(Chip, "INDEX1", 0); }
int32_t Settings::index2() const { return readInteger(Chip, "INDEX2", 0); }
int32_t Settings::index3() const { return readInteger(Chip, "INDEX3", 0); }
bool Settings::setIndex1(int32_t value) { return writeInteger(Chip, "INDEX1", value); }
bool Settings::setIndex2(int32_t value) { return writeInteger(Chip, "INDEX2", value); }
bool Settings::setIndex3(int32_t value) { return writeInteger(Chip, "INDEX3", value); }

int32_t Settings::deviceChip() const { return readInteger(Device, "chip", 0); }
int32_t Settings::speed() const { return readInteger(Device, "SPEED", 0); }
int32_t Settings::language() const
{
    return MessageCatalogue::normalisedLanguage(readInteger(Device, "LANGU", SimplifiedChinese));
}
bool Settings::setSpeed(int32_t value) { return writeInteger(Device, "SPEED", value); }
bool Settings::setLanguage(int32_t value) { return writeInteger(Device, "LANGU", value); }

