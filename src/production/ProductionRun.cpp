#include "production/ProductionRun.h"

#include <openssl/rand.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <ctime>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "core/Workbench.h"
#include "production/JobSetup.h"
#include "production/ProductionLog.h"
#include "production/ProductionText.h"
#include "production/SerialPatch.h"

namespace {

std::string hexBytes(const uint8_t* bytes, size_t count)
{
    std::string text;
    char pair[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += pair;
    }
    return text;
}

// Unique beyond the station: its name plus 128 random bits.
std::string newUid(const std::string& station)
{
    uint8_t random[16] = {};
    RAND_bytes(random, sizeof random);
    return station + "-" + hexBytes(random, sizeof random);
}

}  // namespace

ProductionRun::ProductionRun(Workbench& workbench, OperationHost& host, ProductionLog& log, const ProductionJob& job,
                             Settings settings)
    : workbench_(workbench), host_(host, settings.showErrorBoxes), log_(log), job_(job),
      settings_(std::move(settings)),
      station_(settings_.station.empty() ? stationName() : settings_.station)
{
    const ChipRow& chip = job_.chip;
    chipTitle_ = chip.cells[ChipRow::Type] + "," + chip.cells[ChipRow::Manufacturer] + "," + chip.cells[ChipRow::Name];
}

ProductionRun::~ProductionRun() = default;

std::string ProductionRun::stationName()
{
    char name[HOST_NAME_MAX + 1] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "unknown";
}

std::string ProductionRun::isoTimeNow()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(milliseconds));
    return text;
}

void ProductionRun::run(const std::function<bool()>& keepRunning)
{
    stopReason_.clear();
    const auto going = [&] {
        return stopReason_.empty() && keepRunning() && (!settings_.target || done() < *settings_.target);
    };
    if (!going())
        return;
    RunBatch(workbench_, host_, job_.options, going, this);
}

std::string ProductionRun::operationsText() const
{
    std::string text;
    const auto add = [&text](bool on, const char* name) {
        if (on)
            text += (text.empty() ? "" : ",") + std::string(name);
    };
    add(job_.options.erase, "erase");
    add(job_.options.program, "program");
    add(job_.options.verify, "verify");
    return text;
}

bool ProductionRun::beforeChip(const std::array<uint8_t, 4>& reply)
{
    if (settings_.claimChip && !settings_.claimChip())
        return false;
    const int language = workbench_.languageIndex;
    std::string error;
    const std::optional<SerialReservation> reservation =
        log_.local().reserve(job_.name, job_.serial ? &*job_.serial : nullptr, error);
    if (!reservation) {
        stopReason_ = ProductionText(Msg::LogWriteFailed, language, {error});
        return false;
    }
    serial_.reset();
    if (job_.serial) {
        const SerialRule& rule = *job_.serial;
        const std::optional<std::vector<uint8_t>> bytes = rule.encode(reservation->value);
        if (!bytes) {
            stopReason_ = ProductionText(Msg::SerialOverflow, language,
                                         {std::to_string(reservation->value), std::to_string(rule.width),
                                          SerialFormName(rule.form)});
            return false;
        }
        serial_ = reservation->value;
        patch_ = std::make_unique<SerialPatch>(workbench_.buffers.flash(), rule.address, *bytes);
    }
    const ChipRecord& chip = workbench_.catalogue.currentRecord();
    jedecId_ = chip.chipClass == SpiFlash25 ? hexBytes(reply.data() + 1, 3) : std::string();
    host_.clearChipError();
    chipStartMs_ = host_.nowMs();
    if (started)
        started(serial_ ? job_.serial->text(*serial_) : std::string());
    return true;
}

bool ProductionRun::afterChip(bool passed)
{
    const int64_t endMs = host_.nowMs();
    const ChipRecord& chip = workbench_.catalogue.currentRecord();
    const Checksums programmed = ProgrammedChecksums(workbench_.buffers, chip, job_.options.verify);
    patch_.reset();

    LogRecord record;
    record.uid = newUid(station_);
    record.time = isoTimeNow();
    record.station = station_;
    record.programmer = settings_.programmer;
    record.job = job_.name;
    record.jobHash = settings_.jobHash;
    record.chip = chipTitle_;
    record.jedecId = jedecId_;
    record.operations = operationsText();
    record.result = passed ? "pass" : "fail";
    record.message = passed ? std::string() : host_.chipError();
    record.crc32 = programmed.crc32Text();
    record.sha256 = programmed.sha256;
    record.durationMs = endMs - chipStartMs_;
    record.cycleMs = lastEndMs_ ? endMs - *lastEndMs_ : record.durationMs;
    record.operatorName = settings_.operatorName;
    lastEndMs_ = endMs;
    std::optional<uint64_t> returned;
    if (serial_) {
        record.serial = job_.serial->text(*serial_);
        const bool reuse = !passed && job_.serial->reuseFailed;
        record.serialStatus = passed ? "used" : reuse ? "returned" : "scrapped";
        if (reuse)
            returned = serial_;
    }
    std::string error;
    if (!log_.commit(record, returned, error)) {
        stopReason_ = ProductionText(Msg::LogWriteFailed, workbench_.languageIndex, {error});
        return false;
    }
    (passed ? passed_ : failed_)++;
    if (recorded)
        recorded(record);
    return true;
}
