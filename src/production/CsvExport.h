#pragma once

#include <cstdint>
#include <string>

#include "production/SqliteLog.h"

// Writes the records matching `filter` as CSV that spreadsheets open as they
// are: UTF-8 with a byte-order mark, a header row, every field quoted, CRLF
// line ends, a cell that a spreadsheet would take for a formula (= + - @ tab
// CR first) behind an apostrophe. `count` gets the number of records. Empty on
// success, else why not.
std::string ExportCsv(SqliteLog& log, const LogFilter& filter, const std::string& path, int64_t& count);

// The header row and a record's row as the export writes them, without their
// line end.
std::string CsvHeaderRow();
std::string CsvRecordRow(const LogRecord& record);
// The export's values column: the job values a chip took, with what became of
// them unless they were used ("0x100=02:00:00:00:00:07 (burned)").
std::string ValuesColumn(const LogRecord& record);

// One field as the export writes it.
std::string CsvField(const std::string& text);
