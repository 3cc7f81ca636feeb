#include "production/LogRecordRow.h"

#include "production/SqliteStatement.h"

LogRecord LogRecordRow::read(const SqliteStatement& row)
{
    LogRecord record;
    record.id = row.integer(0);
    std::string* texts[] = {&record.uid, &record.time, &record.station, &record.programmer, &record.job,
                            &record.jobHash, &record.chip, &record.jedecId, &record.operations};
    int column = 1;
    for (std::string* text : texts)
        *text = row.text(column++);
    record.result = ChipResultOf(row.text(column++));
    for (std::string* text : {&record.message, &record.serial, &record.serialStatus, &record.crc32, &record.sha256})
        *text = row.text(column++);
    record.durationMs = row.integer(column++);
    record.cycleMs = row.integer(column++);
    record.operatorName = row.text(column++);
    record.serialSequence = row.text(column++);
    record.values = row.text(column++);
    record.valuesStatus = row.text(column);
    return record;
}
