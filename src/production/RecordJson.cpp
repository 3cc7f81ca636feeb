#include "production/RecordJson.h"

nlohmann::json RecordJson(const LogRecord& record)
{
    nlohmann::json json{{"id", record.id}};
    const std::string result = ChipResultWord(record.result);
    const std::string* texts[] = {&record.uid, &record.time, &record.station, &record.programmer, &record.job,
                                  &record.jobHash, &record.chip, &record.jedecId, &record.operations,
                                  &result, &record.message, &record.serial, &record.serialStatus,
                                  &record.crc32, &record.sha256};
    size_t column = 0;
    for (const std::string* text : texts)
        json[LogColumns[column++]] = *text;
    json[LogColumns[column++]] = record.durationMs;
    json[LogColumns[column++]] = record.cycleMs;
    json[LogColumns[column]] = record.operatorName;
    json["values"] = record.values;
    json["values_status"] = record.valuesStatus;
    return json;
}
