#include "chips/ChipRow.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "chips/ChipText.h"
#include "chips/HexDigits.h"
#include "chips/ChoiceList.h"
#include "chips/SplitTitle.h"
#include "core/MessageCatalogue.h"

namespace {

std::string format(const char* pattern, long long value)
{
    char text[32];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string hexFormat(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}


bool isValidName(const std::string& text)
{
    return text.find_first_of(" ,\"") == std::string::npos
        && std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 32; });
}

}  // namespace

const std::array<const char*, ChipRow::ColumnCount>& ChipRow::headings()
{
    static const std::array<const char*, ColumnCount> texts = {
        "芯片类型", "芯片厂家", "芯片型号", "芯片ID", "FLASH", "FLASH页", "类型",
        "子类型", "延时", "工作电压", "EEPROM", "EEPROM页", "关联XML"};
    return texts;
}

ChipRow ChipRow::fromRecord(const ChipRecord& record)
{
    ChipRow row;
    std::string rest = ChipText::gbkToUtf8(ChipText::titleBytes(record));
    size_t comma = rest.find(',');
    if (comma != std::string::npos) {
        row.cells[Type] = rest.substr(0, comma);
        rest.erase(0, comma + 1);
        comma = rest.find(',');
        if (comma != std::string::npos) {
            row.cells[Manufacturer] = rest.substr(0, comma);
            rest.erase(0, comma + 1);
        }
    }
    row.cells[Name] = rest;
    row.cells[ChipId] = hexFormat(record.chipId);
    row.cells[FlashSize] = format("%llu", record.flashSize);
    row.cells[FlashPage] = format("%llu", record.flashPage);
    row.cells[Class] = format("%lld", record.chipClass);
    row.cells[Algorithm] = format("%lld", record.algorithm);
    row.cells[Delay] = format("%llu", record.delay);
    row.cells[Voltage] = format("%lld", record.voltage);
    row.cells[EepromSize] = format("%llu", record.eepromSize);
    row.cells[EepromPage] = format("%lld", record.eepromPage);
    row.cells[XmlLink] = format("%llu", record.xmlLink);
    return row;
}

std::string ChipRow::toRecord(ChipRecord& record, int language) const
{
    struct Limit {
        Column column;
        int64_t low;
        int64_t high;
    };
    static const Limit limits[] = {
        {ChipId, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()},
        {FlashSize, 0, 0x4000000},  // 64 MiB, the FLASH buffer
        {FlashPage, 0, 0xFFFF},
        {Class, 0, 0xFF},
        {Algorithm, 0, 0xFF},
        {Delay, 0, 0xFFFF},
        {Voltage, 0, 0xFF},
        {EepromSize, 0, 0x2000},  // the EEPROM buffer
        {EepromPage, 0, 0xFF},
        {XmlLink, 0, 0xFFFF},
    };
    std::array<int64_t, ColumnCount> values{};
    for (const Limit& limit : limits) {
        const std::string heading = headings()[limit.column];
        std::optional<int32_t> value = CellToInt(cells[limit.column]);
        if (!value)
            return MessageCatalogue::format(Msg::CellNotInteger, language,
                                            {heading, NotAnIntegerMessage(cells[limit.column])});
        // The FLASH size is an unsigned field: a negative value reads as above 4 GiB.
        int64_t wide = limit.column == FlashSize ? static_cast<int64_t>(static_cast<uint32_t>(*value)) : *value;
        if (wide < limit.low || wide > limit.high)
            return MessageCatalogue::format(Msg::CellOutOfRange, language,
                                            {heading, std::to_string(limit.low), std::to_string(limit.high)});
        values[limit.column] = wide;
    }

    std::string title;
    for (Column column : {Type, Manufacturer, Name}) {
        const std::string text = ChipText::trimmed(cells[column]);
        if (!isValidName(text))
            return MessageCatalogue::format(Msg::NameWithSeparator, language, {headings()[column], text});
        std::optional<std::string> gbk = ChipText::utf8ToGbk(text);
        if (!gbk)
            return MessageCatalogue::format(Msg::NameOutsideCodePage, language, {headings()[column], text});
        title += (column == Type ? "" : ",") + *gbk;
    }
    if (title.size() >= sizeof record.title) {
        return MessageCatalogue::format(Msg::TitleTooLong, language,
                                        {ChipText::gbkToUtf8(title), std::to_string(title.size())});
    }

    ChipRecord converted{};
    std::memcpy(converted.title, title.data(), title.size());
    converted.chipId = static_cast<uint32_t>(values[ChipId]);
    converted.flashSize = static_cast<uint32_t>(values[FlashSize]);
    converted.flashPage = static_cast<uint16_t>(values[FlashPage]);
    converted.chipClass = static_cast<uint8_t>(values[Class]);
    converted.algorithm = static_cast<uint8_t>(values[Algorithm]);
    converted.delay = static_cast<uint16_t>(values[Delay]);
    converted.voltage = static_cast<uint8_t>(values[Voltage]);
    converted.eepromSize = static_cast<uint16_t>(values[EepromSize]);
    converted.eepromPage = static_cast<uint8_t>(values[EepromPage]);
    converted.xmlLink = static_cast<uint16_t>(values[XmlLink]);
    record = converted;
    return {};
}

std::optional<int32_t> CellToInt(const std::string& cell)
{
    size_t i = 0;
    while (i < cell.size() && cell[i] == ' ')
        ++i;
    bool negative = false;
    if (i < cell.size() && (cell[i] == '-' || cell[i] == '+'))
        negative = cell[i++] == '-';
    int base = 10;
    if (i < cell.size() && (cell[i] == '$' || cell[i] == 'x' || cell[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < cell.size() && cell[i] == '0' && (cell[i + 1] == 'x' || cell[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == cell.size())
        return std::nullopt;
    const int64_t limit = base == 16 ? 0xFFFFFFFFLL : (negative ? 0x80000000LL : 0x7FFFFFFFLL);
    int64_t value = 0;
    for (; i < cell.size(); ++i) {
        const int digit = HexDigitValue(cell[i]);
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    uint32_t bits = static_cast<uint32_t>(value);
    if (negative)
        bits = 0u - bits;
    return static_cast<int32_t>(bits);
}

std::string NotAnIntegerMessage(const std::string& cell)
{
    return "'" + cell + "' is not a valid integer value";
}

std::string ClassOrderProblem(const std::vector<ChipRecord>& records, int language)
{
    ChoiceList types;
    for (size_t i = 0; i < records.size(); ++i) {
        const std::vector<std::string> items = SplitTitle(ChipText::titleBytes(records[i]));
        const std::string type = items.empty() ? std::string() : ChipText::trimmed(ChipText::gbkToUtf8(items[0]));
        int32_t position = types.find(type);
        if (position == -1) {
            types.items.push_back(type);
            position = types.count() - 1;
        }
        const std::string number = std::to_string(i + 1);
        const std::string title = ChipText::gbkToUtf8(ChipText::titleBytes(records[i]));
        if (position != records[i].chipClass) {
            return MessageCatalogue::format(Msg::ClassOutOfTypeOrder, language,
                                            {number, title, std::to_string(records[i].chipClass), type,
                                             std::to_string(position)});
        }
        if (types.at(position) != type)
            return MessageCatalogue::format(Msg::TypeSpeltOtherwise, language, {number, title, type, types.at(position)});
    }
    return {};
}
