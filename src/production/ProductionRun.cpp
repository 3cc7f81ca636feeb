#include "production/ProductionRun.h"

#include <openssl/rand.h>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "chips/HexDigits.h"
#include "core/Workbench.h"
#include "ops/QuerySocket.h"
#include "ops/StreamSpans.h"
#include "production/GoodChipTarget.h"
#include "production/IsoTime.h"
#include "production/JobHistory.h"
#include "production/JobSetup.h"
#include "production/ProductionLog.h"
#include "production/ProductionText.h"
#include "production/SerialPatch.h"
#include "production/SerialSequence.h"
#include "production/StationName.h"

namespace {

// Unique beyond the station: its name plus 128 random bits.
std::string newUid(const std::string& station)
{
    uint8_t random[16] = {};
    RAND_bytes(random, sizeof random);
    return station + "-" + HexBytesText(random, sizeof random);
}

}  // namespace

ProductionRun::ProductionRun(Workbench& workbench, OperationHost& host, ProductionLog& log, const ProductionJob& job,
                             Settings settings)
    : workbench_(workbench), host_(host, settings.showErrorBoxes), log_(log), job_(job),
      settings_(std::move(settings)),
      station_(settings_.station.empty() ? StationName() : settings_.station)
{
    const ChipRow& chip = job_.chip;
    chipTitle_ = chip.cells[ChipRow::Type] + "," + chip.cells[ChipRow::Manufacturer] + "," + chip.cells[ChipRow::Name];
}

// A chip that never ended (its loop was left by an exception) gives its
// place back, so that the gang's other programmers can make the chip.
ProductionRun::~ProductionRun()
{
    releaseGoodChip();
}

void ProductionRun::releaseGoodChip()
{
    if (!goodChipClaimed_)
        return;
    goodChipClaimed_ = false;
    settings_.goodChips->released();
}

void ProductionRun::run(const std::function<bool()>& keepRunning)
{
    stopReason_.clear();
    // A record an earlier chip left pending goes first; no chip starts while
    // it cannot.
    std::string error;
    if (!log_.local().flushPending(error)) {
        stopReason_ = ProductionText(Msg::PendingRecordsBlock, workbench_.languageIndex, {error});
        return;
    }
    const auto going = [&] {
        return stopReason_.empty() && keepRunning() && (!settings_.target || done() < *settings_.target) &&
               !(settings_.goodChips && settings_.goodChips->reached());
    };
    keepRunning_ = &keepRunning;
    if (!going())
        return;
    imageLength_ = PageRoundedLength(workbench_.buffers.dataLength, workbench_.catalogue.currentRecord().flashPage);
    if (!loadValues())
        return;
    compareWithHistory();
    RunBatch(workbench_, host_, job_.options, going, this);
    writeHistory();
}

// Read once, so that every chip of the run takes from the same sources; a
// list changed since the job was made would hand out values nobody chose.
bool ProductionRun::loadValues()
{
    values_.reset();
    if (job_.values.empty())
        return true;
    const SpanChoice span = WriteSpan(workbench_.buffers, workbench_.catalogue.currentRecord());
    if (span.refusal) {
        stopReason_ = MessageCatalogue::text(*span.refusal, workbench_.languageIndex);
        return false;
    }
    std::vector<FieldSpan> fixed;
    if (job_.serial)
        fixed.push_back({"serial " + job_.serial->describe(), job_.serial->address, job_.serial->width});
    std::string error;
    values_ = JobValues::load(job_, job_.path, fixed, span.span.start, span.span.end, workbench_.languageIndex, error);
    if (!values_)
        stopReason_ = error;
    return values_.has_value();
}

// Without a line server the log alone knows which serial numbers are gone; a
// log that has issued none of a job which the history beside the job file
// says was made elsewhere (or in a log since replaced) would issue them again.
void ProductionRun::compareWithHistory()
{
    // With a line server, the server carries the sequence on from any log.
    if (!job_.serial || job_.path.empty() || !log_.serverAddress().empty())
        return;
    const std::optional<JobHistory> history = JobHistory::read(JobHistory::pathFor(job_.path));
    if (!history || history->chips == 0 || log_.local().hasIssued(job_.name))
        return;
    const SerialRule& rule = *job_.serial;
    host_.insertLogLine(ProductionText(
        Msg::SerialHistoryWarning, workbench_.languageIndex,
        {log_.local().path(), job_.name, std::to_string(history->chips), history->station, history->log,
         history->next ? rule.text(*history->next) : "-", rule.text(rule.first)}));
}

// A history that is ahead of this log (written by another log, or by one
// since replaced) stays as it is, so that the warning comes at every start.
void ProductionRun::writeHistory()
{
    if (!job_.serial || job_.path.empty())
        return;
    const std::string path = JobHistory::pathFor(job_.path);
    JobHistory history;
    history.chips = log_.local().counters(job_.name).total();
    history.next = log_.local().peekSerial(job_.name, *job_.serial);
    history.station = station_;
    history.log = log_.local().path();
    const std::optional<JobHistory> before = JobHistory::read(path);
    if (before && before->next && (!history.next || *before->next > *history.next))
        return;
    // A job on a read-only share keeps no history; production goes on.
    history.write(path);
}

void ProductionRun::socketEmpty()
{
    if (socketEmptied)
        socketEmptied();
}

bool ProductionRun::socketFoundEmpty()
{
    std::array<uint8_t, 4> reply{};
    if (QuerySocket(workbench_, host_, reply) != SocketAnswered || reply[0] != 0)
        return false;
    chipTakenOut_ = true;
    socketEmpty();
    return true;
}

// The batch loop does not look at the socket while a record waits, and a
// feeder may swap the chip meanwhile: unseen, the new chip would pass for the
// one just done and never be programmed.
void ProductionRun::watchSocket(uint32_t milliseconds)
{
    const int64_t end = host_.nowMs() + milliseconds;
    do {
        socketFoundEmpty();
        host_.sleepMs(SocketWatchMs);
    } while (host_.nowMs() < end);
}

bool ProductionRun::queried(bool answered)
{
    silentQueries_ = answered ? 0 : silentQueries_ + 1;
    if (!settings_.stopWhenProgrammerLeaves || silentQueries_ < SilentQueriesBeforeStop)
        return true;
    stopReason_ = ProductionText(Msg::ProgrammerLeftWhileIdle, workbench_.languageIndex, {settings_.programmer});
    programmerLeft_ = true;
    return false;
}

// While other programmers' chips may still make the target, this one waits
// with its chip in the socket: should one of them fail, this chip is wanted.
bool ProductionRun::claimGoodChip()
{
    if (!settings_.goodChips)
        return true;
    for (;;) {
        switch (settings_.goodChips->claim()) {
        case GoodChipTarget::Claim::Granted:
            goodChipClaimed_ = true;
            return true;
        case GoodChipTarget::Claim::Reached:
            return false;
        case GoodChipTarget::Claim::Wait:
            if (keepRunning_ && !(*keepRunning_)())
                return false;
            host_.sleepMs(TargetWaitMs);
            break;
        }
    }
}

bool ProductionRun::beforeChip(const std::array<uint8_t, 4>& reply)
{
    if (!claimGoodChip())
        return false;
    if (settings_.claimChip && !settings_.claimChip()) {
        releaseGoodChip();
        return false;
    }
    chipTakenOut_ = false;
    reserved_ = LogRecord{};
    reserved_.uid = newUid(station_);
    reserved_.time = IsoTime::now();
    reserved_.station = station_;
    reserved_.programmer = settings_.programmer;
    reserved_.job = job_.name;
    reserved_.jobHash = settings_.jobHash;
    reserved_.serialSequence = SerialSequenceOf(job_);
    reserved_.chip = chipTitle_;
    reserved_.operations = AutoStepsText(job_.options);
    const ChipRecord& chip = workbench_.catalogue.currentRecord();
    reserved_.jedecId = chip.chipClass == SpiFlash25 ? HexBytesText(reply.data() + 1, 3) : std::string();
    const SerialRule* rule = job_.serial ? &*job_.serial : nullptr;
    const Reservation reservation = log_.reserve(reserved_, rule, values_ ? &*values_ : nullptr);
    if (reservation.outcome != Reservation::Outcome::Reserved)
        releaseGoodChip();
    if (reservation.outcome == Reservation::Outcome::Failed) {
        stopReason_ = ProductionText(Msg::LogWriteFailed, workbench_.languageIndex, {reservation.error});
        return false;
    }
    if (reservation.outcome == Reservation::Outcome::LeaseUnreachable) {
        stopReason_ = ProductionText(Msg::SerialsOfflineNoLease, workbench_.languageIndex, {job_.name});
        return false;
    }
    if (reservation.outcome == Reservation::Outcome::LeaseFailed) {
        stopReason_ = reservation.error.empty()
                           ? MessageCatalogue::text(Msg::SerialLeaseNoAnswer, workbench_.languageIndex)
                           : MessageCatalogue::format(Msg::SerialLeaseFailed, workbench_.languageIndex,
                                                      {reservation.error});
        return false;
    }
    if (reservation.outcome == Reservation::Outcome::ValueLeaseFailed) {
        stopReason_ = ProductionText(Msg::ValueLeaseFailed, workbench_.languageIndex,
                                     {values_->field(reservation.valueField).name(), reservation.error});
        return false;
    }
    if (reservation.outcome == Reservation::Outcome::ValuesUsedUp) {
        stopReason_ = ProductionText(Msg::ValuesUsedUp, workbench_.languageIndex, {reservation.error});
        return false;
    }
    if (reservation.outcome == Reservation::Outcome::ValueRefused) {
        stopReason_ = reservation.error;
        return false;
    }
    const std::optional<std::vector<uint8_t>> bytes =
        rule && reservation.serial ? rule->encode(*reservation.serial) : std::nullopt;
    if (reservation.outcome == Reservation::Outcome::SerialsUsedUp || (rule && !bytes)) {
        releaseGoodChip();
        refuseUsedUpSerials(reservation);
        return false;
    }
    serial_ = reservation.serial;
    patch_.reset();
    if (bytes)
        patch_ = std::make_unique<SerialPatch>(workbench_.buffers.flash(), rule->address, *bytes);
    valuePatches_.clear();
    for (const TakenValue& value : reservation.values)
        valuePatches_.push_back(std::make_unique<SerialPatch>(workbench_.buffers.flash(),
                                                              values_->field(value.field).address, value.bytes));
    host_.clearChipError();
    chipStartMs_ = host_.nowMs();
    if (started)
        started(serial_ ? job_.serial->text(*serial_) : std::string());
    return true;
}

void ProductionRun::refuseUsedUpSerials(const Reservation& reservation)
{
    const SerialRule& rule = *job_.serial;
    const int language = workbench_.languageIndex;
    const std::string width = rule.width == 1 ? MessageCatalogue::text(Msg::OneByte, language)
                                              : ProductionText(Msg::SeveralBytes, language, {std::to_string(rule.width)});
    if (reservation.last)
        stopReason_ = ProductionText(Msg::SerialsUsedUp, workbench_.languageIndex,
                                     {rule.text(*reservation.last), width, SerialFormName(rule.form)});
    else
        stopReason_ = ProductionText(Msg::SerialOverflow, workbench_.languageIndex,
                                     {reservation.serial ? std::to_string(*reservation.serial) : "-", width,
                                      SerialFormName(rule.form)});
}

// What the operation routines said about a failed chip. Some refusals say
// nothing there: the question about another chip's ID (answered No), an image
// gone from the buffer (AUTO then stops at once) and a session the programmer
// did not open (which only the state panel shows).
std::string ProductionRun::failureText()
{
    const int language = workbench_.languageIndex;
    // A chip pulled out fails on whatever step it was at: its record says
    // what happened rather than what the step saw.
    if (socketFoundEmpty())
        return MessageCatalogue::text(Msg::ChipRemovedDuringRun, language);
    if (!host_.chipError().empty())
        return host_.chipError();
    if (!host_.declinedQuestion().empty())
        return ProductionText(Msg::QuestionDeclined, language, {host_.declinedQuestion()});
    const uint16_t page = workbench_.catalogue.currentRecord().flashPage;
    if (PageRoundedLength(workbench_.buffers.dataLength, page) != imageLength_)
        return MessageCatalogue::text(Msg::ImageReplacedDuringRun, language);
    return MessageCatalogue::text(Msg::NotConnected, language);
}

bool ProductionRun::afterChip(bool passed)
{
    const int64_t endMs = host_.nowMs();
    const ChipRecord& chip = workbench_.catalogue.currentRecord();
    const Checksums programmed = ProgrammedChecksums(workbench_.buffers, chip, job_.options.verify);
    patch_.reset();
    valuePatches_.clear();

    LogRecord record = reserved_;
    record.time = IsoTime::now();
    record.result = passed ? ChipResult::Pass : ChipResult::Fail;
    record.message = passed ? std::string() : failureText();
    record.crc32 = programmed.crc32Text();
    record.sha256 = programmed.sha256;
    record.durationMs = endMs - chipStartMs_;
    record.cycleMs = lastEndMs_ ? endMs - *lastEndMs_ : record.durationMs;
    record.operatorName = settings_.operatorName;
    lastEndMs_ = endMs;
    std::optional<uint64_t> returned;
    if (serial_) {
        const bool reuse = !passed && job_.serial->reuseFailed;
        record.serialStatus = passed ? "used" : reuse ? "returned" : "scrapped";
        if (reuse)
            returned = serial_;
    }
    if (!record.values.empty())
        record.valuesStatus = passed ? "used" : job_.reuseFailedValues ? "returned" : "burned";
    (passed ? passed_ : failed_)++;
    if (goodChipClaimed_) {
        goodChipClaimed_ = false;
        settings_.goodChips->finished(passed);
    }
    std::string error;
    const int64_t commitStartMs = host_.nowMs();
    bool waited = false;
    if (!commitWithinRetryTime(record, returned, error, waited)) {
        stopKeeping(record, returned, error);
        return false;
    }
    waited = waited || host_.nowMs() - commitStartMs > SlowCommitMs;
    if (recorded)
        recorded(record);
    // The loop's own looks at the socket came late: a feeder may be taking
    // the chip out only now. A swap between two looks (a quick feeder) leaves
    // a chip that cannot be told from the one just done: programming it would
    // give a chip a second serial, waiting for it empty could wait for ever.
    if (waited) {
        const int64_t graceEnd = host_.nowMs() + ChipSwapGraceMs;
        while (!chipTakenOut_ && host_.nowMs() < graceEnd)
            watchSocket(SocketWatchMs);
    }
    if (waited && !chipTakenOut_) {
        stopReason_ = ProductionText(Msg::SocketUnseenWhileRecordWaited, workbench_.languageIndex,
                                     {std::to_string((host_.nowMs() - commitStartMs + 500) / 1000)});
        return false;
    }
    return true;
}

// Another writer holding the log, or a disk being cleared, passes; the chip
// in the socket is programmed already, so its record is worth a wait.
bool ProductionRun::commitWithinRetryTime(LogRecord& record, std::optional<uint64_t> returned, std::string& error,
                                          bool& waited)
{
    const int64_t deadline = host_.nowMs() + settings_.commitRetryMs;
    for (;;) {
        if (log_.commit(record, returned, error, CommitAttemptWaitMs))
            return true;
        if (host_.nowMs() >= deadline)
            return false;
        waited = true;
        watchSocket(CommitRetryPauseMs);
    }
}

void ProductionRun::stopKeeping(const LogRecord& record, std::optional<uint64_t> returned, const std::string& error)
{
    const std::string file = log_.local().keepPending(record, returned);
    const std::string serial = record.serial.empty() ? "-" : record.serial;
    if (file.empty())
        stopReason_ = ProductionText(Msg::ChipRecordKeptInMemory, workbench_.languageIndex,
                                     {ChipResultWord(record.result), serial, record.crc32, error});
    else
        stopReason_ = ProductionText(Msg::ChipRecordKeptInFile, workbench_.languageIndex,
                                     {ChipResultWord(record.result), serial, record.crc32, error, file});
}
