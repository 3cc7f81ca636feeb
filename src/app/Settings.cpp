#include "app/Settings.h"

#include <QLocale>
#include <algorithm>
#include <charconv>

#include "core/MessageCatalogue.h"
#include "core/RunningExecutable.h"

namespace {
constexpr char Environment[] = "Environment";
constexpr char Chip[] = "CHIP";
constexpr char Device[] = "DEVICE";
constexpr char Bench[] = "Bench";
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
    const int32_t firstStart = languageForLocale(QLocale().name().toStdString());
    return MessageCatalogue::normalisedLanguage(readInteger(Device, "LANGU", firstStart));
}
bool Settings::setSpeed(int32_t value) { return writeInteger(Device, "SPEED", value); }
bool Settings::setLanguage(int32_t value) { return writeInteger(Device, "LANGU", value); }

std::optional<Settings::WindowPlacement> Settings::windowPlacement() const
{
    WindowPlacement placement;
    placement.width = readInteger(Bench, "WindowWidth", 0);
    placement.height = readInteger(Bench, "WindowHeight", 0);
    if (placement.width <= 0 || placement.height <= 0)
        return std::nullopt;
    placement.left = readInteger(Bench, "WindowLeft", 0);
    placement.top = readInteger(Bench, "WindowTop", 0);
    placement.maximized = readInteger(Bench, "WindowMaximized", 0) != 0;
    return placement;
}

bool Settings::setWindowPlacement(const WindowPlacement& placement)
{
    return writeInteger(Bench, "WindowLeft", placement.left) && writeInteger(Bench, "WindowTop", placement.top)
        && writeInteger(Bench, "WindowWidth", placement.width) && writeInteger(Bench, "WindowHeight", placement.height)
        && writeInteger(Bench, "WindowMaximized", placement.maximized ? 1 : 0);
}

std::string Settings::openFilter() const { return file_.readString(Bench, "OpenFilter").value_or(""); }
std::string Settings::saveFilter() const { return file_.readString(Bench, "SaveFilter").value_or(""); }
bool Settings::setOpenFilter(const std::string& filter) { return file_.writeString(Bench, "OpenFilter", filter); }
bool Settings::setSaveFilter(const std::string& filter) { return file_.writeString(Bench, "SaveFilter", filter); }

std::vector<std::string> Settings::recentFiles() const
{
    std::vector<std::string> files;
    for (int i = 1; i <= RecentFileCount; ++i) {
        const std::optional<std::string> file = file_.readString(Bench, "Recent" + std::to_string(i));
        if (file && !file->empty())
            files.push_back(*file);
    }
    return files;
}

bool Settings::setRecentFiles(const std::vector<std::string>& files)
{
    for (int i = 1; i <= RecentFileCount; ++i) {
        const std::string value = size_t(i) <= files.size() ? files[size_t(i) - 1] : std::string();
        if (!file_.writeString(Bench, "Recent" + std::to_string(i), value))
            return false;
    }
    return true;
}

int32_t Settings::languageForLocale(const std::string& localeName)
{
    // "zh_TW.UTF-8" and "zh-TW" name the same locale.
    std::string name = localeName.substr(0, localeName.find_first_of(".@"));
    std::replace(name.begin(), name.end(), '-', '_');
    if (name == "zh_CN" || name == "zh_SG" || name == "zh_Hans_CN" || name == "zh_Hans_SG")
        return SimplifiedChinese;
    if (name == "zh_TW" || name == "zh_HK" || name == "zh_MO" || name.starts_with("zh_Hant"))
        return TraditionalChinese;
    return English;
}
