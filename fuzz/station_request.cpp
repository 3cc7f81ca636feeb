// The station's request parsing: JSON bodies of PUT /job, POST /run,
// POST /target, POST /counters/reset and POST /stop,
// GET /records' query values, the Last-Event-ID and Accept-Language headers,
// and the settings file. The first byte picks the parser; the rest is its
// input (for the records query, "since" and "limit" split at the first line
// break).
#include <cstddef>
#include <cstdint>
#include <string>

#include "station/StationRequests.h"
#include "station/StationSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 9) {
    case 0: {
        JobRequest request;
        ParseJobRequest(text, request);
        break;
    }
    case 1: {
        RunRequest request;
        ParseRunRequest(text, request);
        break;
    }
    case 2: {
        const size_t split = text.find('\n');
        RecordsQuery query;
        ParseRecordsQuery(text.substr(0, split),
                          split == std::string::npos ? std::nullopt : std::optional(text.substr(split + 1)), query);
        break;
    }
    case 3:
        ParseLastEventId(text);
        break;
    case 4:
        LanguageOfAcceptLanguage(text);
        break;
    case 5: {
        StationSettings settings;
        if (ApplyStationSettingsText(settings, text).empty())
            settings.refusal();
        break;
    }
    case 6: {
        ChangeRequest request;
        ParseTargetRequest(text, request);
        break;
    }
    case 7: {
        ChangeRequest request;
        ParseResetRequest(text, request);
        break;
    }
    default:
        ParseEmptyRequest(text);
        break;
    }
    return 0;
}
