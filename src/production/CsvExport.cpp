#include "production/CsvExport.h"

#include <string_view>

#include "core/AtomicFile.h"
#include "production/ChipResult.h"
#include "production/IsoTime.h"

namespace {

constexpr const char* ByteOrderMark = "\xEF\xBB\xBF";

std::string joined(std::initializer_list<const std::string*> fields)
{
    std::string row;
    for (const std::string* field : fields) {
        if (!row.empty())
            row += ',';
        row += CsvField(*field);
    }
    return row;
}

}  // namespace

std::string CsvField(const std::string& text)
{
    std::string field = "\"";
    // Spreadsheets take a cell that begins like this for a formula, even
    // quoted; a leading apostrophe makes it text (a job named "=1+2").
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        field += '\'';
    for (const char c : text) {
        if (c == '"')
            field += '"';
        field += c;
    }
    return field + '"';
}

std::string ValuesColumn(const LogRecord& record)
{
    if (record.values.empty() || record.valuesStatus == "used")
        return record.values;
    return record.values + " (" + record.valuesStatus + ")";
}

// Beside the log's own UTC time, the station's local time as its people
// read it.
std::string CsvHeaderRow()
{
    std::string row;
    for (const char* column : LogColumns) {
        row += row.empty() ? "" : ",";
        row += CsvField(column);
        if (std::string_view(column) == "time") {
            row += ',';
            row += CsvField("local_time");
        }
    }
    // Job values stand last, so that the columns of earlier exports keep their places.
    row += ',';
    row += CsvField("values");
    return row;
}

std::string CsvRecordRow(const LogRecord& record)
{
    const std::string duration = std::to_string(record.durationMs);
    const std::string cycle = std::to_string(record.cycleMs);
    const std::string localTime = IsoTime::localText(record.time);
    const std::string result = ChipResultWord(record.result);
    const std::string values = ValuesColumn(record);
    return joined({&record.uid, &record.time, &localTime, &record.station, &record.programmer, &record.job,
                   &record.jobHash, &record.chip, &record.jedecId, &record.operations, &result, &record.message,
                   &record.serial, &record.serialStatus, &record.crc32, &record.sha256, &duration, &cycle,
                   &record.operatorName, &values});
}

std::string ExportCsv(SqliteLog& log, const LogFilter& filter, const std::string& path, int64_t& count)
{
    AtomicFile file(path);
    if (!file.open())
        return "cannot create " + path;
    std::string out = ByteOrderMark + CsvHeaderRow() + "\r\n";
    count = 0;
    std::string error;
    const bool read = log.forEachRecord(filter, [&](const LogRecord& record) {
        out += CsvRecordRow(record);
        out += "\r\n";
        ++count;
        // Large exports go out in pieces rather than as one string.
        if (out.size() > (1u << 20)) {
            file.write(out.data(), out.size());
            out.clear();
        }
    }, error);
    if (!read)
        return error;
    file.write(out.data(), out.size());
    if (!file.commit())
        return "cannot write " + path;
    return {};
}
