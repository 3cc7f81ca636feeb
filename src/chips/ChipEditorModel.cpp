#include "chips/ChipEditorModel.h"

#include <optional>

#include "chips/ChipDatabaseFile.h"
#include "chips/ChipText.h"
#include "core/MessageCatalogue.h"
#include "core/OperationHost.h"

namespace {

// The list position `position` if the list has it, else no selection.
int32_t positionIn(int32_t position, size_t count)
{
    return position >= 0 && static_cast<size_t>(position) < count ? position : -1;
}

// 32-bit shift with the count taken modulo 32, as the row's numbers were
// always formed; a missing selection (-1) shifts by 31.
std::string shifted(uint32_t value, int32_t position)
{
    return std::to_string(static_cast<int32_t>(value << (static_cast<uint32_t>(position) & 31)));
}

// Algorithm code stored for a position; nothing where the cell is kept.
std::optional<int32_t> algorithmCode(int32_t classPosition, int32_t algorithmPosition)
{
    switch (classPosition) {
    case MicrowireEeprom93:
        return algorithmPosition < 5 ? algorithmPosition + 7 : algorithmPosition + 82;
    case I2cEeprom24:
    case SpiEeprom95:
        return algorithmPosition;
    default:
        static const int32_t codes[] = {0, 1, 128, 129};
        if (algorithmPosition < 0 || algorithmPosition > 3)
            return std::nullopt;
        return codes[algorithmPosition];
    }
}

int32_t algorithmPositionFor(int32_t classPosition, int32_t code, int32_t flashPosition)
{
    switch (classPosition) {
    case SpiFlash25:
        return code == 128 ? 2 : code == 129 ? 3 : code;
    case I2cEeprom24:
        // The list tells the two address forms apart by size alone.
        return flashPosition >= 6 ? 1 : 0;
    case MicrowireEeprom93:
        return code < 80 ? code - 7 : code - 82;
    case SpiEeprom95:
        return code;
    default:
        return 0;
    }
}

void addDistinct(std::vector<std::string>& list, const std::string& text)
{
    for (const std::string& entry : list) {
        if (ChipText::equalsIgnoringCase(entry, text))
            return;
    }
    list.push_back(text);
}

}  // namespace

const std::vector<std::string>& ChipEditorModel::classTexts()
{
    static const std::vector<std::string> texts = {"25 flash 系列", "24 eeprom 系列", "93 eeprom 系列",
                                                   "95 eeprom 系列", "AVR 系列"};
    return texts;
}

const std::vector<std::string>& ChipEditorModel::flashTexts()
{
    static const std::vector<std::string> texts = {"64B",   "128B",  "256B",  "512B", "1KB", "2KB", "4KB",
                                                   "8KB",   "16KB",  "32KB",  "64KB", "128KB", "256KB", "512KB",
                                                   "1MB",   "2MB",   "4MB",   "8MB",  "16MB", "32MB", "64MB"};
    return texts;
}

const std::vector<std::string>& ChipEditorModel::pageTexts()
{
    static const std::vector<std::string> texts = {"1", "2", "4", "8", "16", "32", "64", "128", "256"};
    return texts;
}

const std::vector<std::string>& ChipEditorModel::voltageTexts()
{
    static const std::vector<std::string> texts = {"3.3V", "1.8V"};
    return texts;
}

const std::vector<std::string>& ChipEditorModel::eepromTexts()
{
    static const std::vector<std::string> texts = {
        "0B",   "2B",   "4B",    "8B",    "16B",   "32B",   "64B", "128B", "256B", "512B", "1KB",  "2KB",  "4KB", "8KB",
        "16KB", "32KB", "64KB", "128KB", "256KB", "512KB", "1MB", "2MB",  "4MB",  "8MB",  "16MB", "32MB", "64MB"};
    return texts;
}

const std::vector<std::string>& ChipEditorModel::extendTexts()
{
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> numbers;
        for (int i = 0; i <= 18; ++i)
            numbers.push_back(std::to_string(i));
        return numbers;
    }();
    return texts;
}

const std::vector<std::string>& ChipEditorModel::initialAlgorithmTexts()
{
    static const std::vector<std::string> texts = {"非SST SPI flash", "SST SPI flash", "大于16M bytes",
                                                   "SST 大于16M bytes"};
    return texts;
}

std::vector<std::string> ChipEditorModel::algorithmTexts(int32_t classPosition)
{
    switch (classPosition) {
    case SpiFlash25:
        return {"非SST SPI flash", "SST SPI flash", "大于16M bytes", "SST大于16M bytes"};
    case I2cEeprom24:
        return {"小于4KB", "大于等于4KB"};
    case MicrowireEeprom93:
        return {"93C46 8 BITS",  "93C57 8 BITS",  "93C66 8 BITS",  "93C76 8 BITS",  "93C86 8 BITS",
                "93C46 16 BITS", "93C57 16 BITS", "93C66 16 BITS", "93C76 16 BITS", "93C86 16 BITS"};
    case SpiEeprom95:
        return {"8位地址", "16位地址", "24位地址"};
    case Avr:
        return {"标准算法"};
    default:
        return {};
    }
}

int32_t ChipEditorModel::log2(int32_t value)
{
    int32_t count = 0;
    while (value > 1) {
        value /= 2;
        ++count;
    }
    return count;
}

void ChipEditorModel::reload(ChipCatalogue& catalogue, OperationHost& host, const std::string& path, int language)
{
    const ChipDatabaseFile::ReadResult result = ChipDatabaseFile::read(
        catalogue, path, MessageCatalogue::text(Msg::ConfigDestroyed, SimplifiedChinese), language);
    if (result.outcome == ChipDatabaseFile::ReadResult::Refused)
        host.messageBox(result.message);
    fill(catalogue);
}

void ChipEditorModel::fill(const ChipCatalogue& catalogue)
{
    rows.clear();
    typeChoices.clear();
    manufacturerChoices.clear();
    nameChoices.clear();
    const int32_t count = catalogue.recordCount();
    for (int32_t slot = 0; slot < count; ++slot) {
        const ChipRow row = ChipRow::fromRecord(catalogue.ChipDatabase[static_cast<size_t>(slot)]);
        addDistinct(typeChoices, row.cells[ChipRow::Type]);
        if (!row.cells[ChipRow::Manufacturer].empty())
            addDistinct(manufacturerChoices, row.cells[ChipRow::Manufacturer]);
        addDistinct(nameChoices, row.cells[ChipRow::Name]);
        rows.push_back(row);
    }
}

void ChipEditorModel::fillRow(ChipRow& row, const ChipEditorControls& controls)
{
    row.cells[ChipRow::Type] = controls.type;
    row.cells[ChipRow::Manufacturer] = controls.manufacturer;
    row.cells[ChipRow::Name] = controls.name;
    row.cells[ChipRow::ChipId] = controls.chipId;
    row.cells[ChipRow::FlashSize] = shifted(64, controls.flashPosition);
    row.cells[ChipRow::FlashPage] = shifted(1, controls.flashPagePosition);
    row.cells[ChipRow::Class] = std::to_string(controls.classPosition);
    if (std::optional<int32_t> code = algorithmCode(controls.classPosition, controls.algorithmPosition))
        row.cells[ChipRow::Algorithm] = std::to_string(*code);
    row.cells[ChipRow::Delay] = controls.delay;
    row.cells[ChipRow::Voltage] = std::to_string(controls.voltagePosition);
    row.cells[ChipRow::EepromSize] = controls.eepromPosition == 0 ? "0" : shifted(1, controls.eepromPosition);
    row.cells[ChipRow::EepromPage] = shifted(1, controls.eepromPagePosition);
    row.cells[ChipRow::XmlLink] = controls.extend;
}

void ChipEditorModel::add(const ChipEditorControls& controls)
{
    rows.emplace_back();
    selectedRow = static_cast<int32_t>(rows.size());
    fillRow(rows.back(), controls);
}

void ChipEditorModel::edit(const ChipEditorControls& controls)
{
    if (selectedRow > 0 && static_cast<size_t>(selectedRow) <= rows.size())
        fillRow(rows[static_cast<size_t>(selectedRow - 1)], controls);
}

void ChipEditorModel::remove(int32_t gridRow)
{
    if (gridRow < 1 || static_cast<size_t>(gridRow) > rows.size())
        return;
    rows.erase(rows.begin() + (gridRow - 1));
    if (static_cast<size_t>(selectedRow) > rows.size())
        selectedRow = static_cast<int32_t>(rows.size());
}

std::string ChipEditorModel::copySelectedRow(ChipEditorControls& controls) const
{
    if (selectedRow < 1 || static_cast<size_t>(selectedRow) > rows.size())
        return {};
    const ChipRow& row = rows[static_cast<size_t>(selectedRow - 1)];
    int32_t values[ChipRow::ColumnCount] = {};
    for (int column = ChipRow::FlashSize; column < ChipRow::ColumnCount; ++column) {
        std::optional<int32_t> value = CellToInt(row.cells[column]);
        if (!value)
            return NotAnIntegerMessage(row.cells[column]);
        values[column] = *value;
    }
    ChipEditorControls copied = controls;
    copied.type = row.cells[ChipRow::Type];
    copied.manufacturer = row.cells[ChipRow::Manufacturer];
    copied.name = row.cells[ChipRow::Name];
    copied.chipId = row.cells[ChipRow::ChipId];
    copied.flashPosition = positionIn(log2(values[ChipRow::FlashSize]) - 6, flashTexts().size());
    copied.flashPagePosition = positionIn(log2(values[ChipRow::FlashPage]), pageTexts().size());
    copied.classPosition = positionIn(values[ChipRow::Class], classTexts().size());
    const size_t algorithmCount = algorithmTexts(copied.classPosition).size();
    copied.algorithmPosition = positionIn(
        algorithmPositionFor(copied.classPosition, values[ChipRow::Algorithm], copied.flashPosition), algorithmCount);
    copied.delay = std::to_string(values[ChipRow::Delay]);
    copied.voltagePosition = positionIn(values[ChipRow::Voltage], voltageTexts().size());
    copied.eepromPosition = positionIn(log2(values[ChipRow::EepromSize]), eepromTexts().size());
    copied.eepromPagePosition = positionIn(log2(values[ChipRow::EepromPage]), pageTexts().size());
    copied.extend = std::to_string(values[ChipRow::XmlLink]);
    controls = copied;
    return {};
}

bool ChipEditorModel::save(ChipCatalogue& catalogue, OperationHost& host, const std::string& path,
                           int language) const
{
    constexpr size_t MaximumRows = ChipCatalogue::SlotCount - 1;  // one slot for the terminator
    if (rows.size() > MaximumRows) {
        host.errorBox(MessageCatalogue::format(Msg::EditorTooManyRows, language,
                                               {std::to_string(MaximumRows), std::to_string(rows.size())}));
        return false;
    }
    std::vector<ChipRecord> records(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string problem = rows[i].toRecord(records[i], language);
        if (!problem.empty()) {
            host.errorBox(MessageCatalogue::format(Msg::EditorRowRefused, language, {std::to_string(i + 1), problem}));
            return false;
        }
    }
    const std::string orderProblem = ClassOrderProblem(records, language);
    if (!orderProblem.empty()
        && !host.question(MessageCatalogue::format(Msg::SaveDespiteClassOrder, language, {orderProblem}))) {
        return false;
    }
    std::copy(records.begin(), records.end(), catalogue.ChipDatabase.begin());
    catalogue.ChipDatabase[records.size()] = ChipRecord{};
    const std::string error = ChipDatabaseFile::write(catalogue, static_cast<int32_t>(records.size()), path);
    if (!error.empty()) {
        host.errorBox(error);
        return false;
    }
    return true;
}
