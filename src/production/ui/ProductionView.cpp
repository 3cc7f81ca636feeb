#include "production/ui/ProductionView.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "chips/ChipCatalogue.h"
#include "core/BusyScope.h"
#include "core/OperationHost.h"
#include "core/OwnSettings.h"
#include "core/Workbench.h"
#include "maint/HardwareInfo.h"
#include "production/GangRun.h"
#include "production/IsoTime.h"
#include "production/JobSetup.h"
#include "production/LineServerText.h"
#include "production/ProductionLog.h"
#include "production/ProductionSummary.h"
#include "production/ProductionText.h"
#include "production/RunRefusal.h"
#include "production/ui/EngineerPinPrompt.h"
#include "production/ui/GangPanel.h"
#include "production/ui/OperatorPrompt.h"
#include "production/ui/ProgrammerTile.h"

namespace {

QString qText(const std::string& text)
{
    return QString::fromStdString(text);
}

// Belcor's own settings file, never the settings beside the executable.
constexpr const char* PlacementSection = "ProductionView";
constexpr const char* PlacementKey = "geometry";
constexpr const char* ServerKey = "lineServer";
// Targets changed in the view, by the job's SHA-256: an edited job starts
// from its own target again.
constexpr const char* TargetSection = "ProductionTargets";
// The mark's colour for a run that stopped on its own: neither pass nor fail.
constexpr const char* StoppedColour = "#b06000";

constexpr int ResultColumn = 2;

QString resultText(ChipResult result, int language)
{
    switch (result) {
    case ChipResult::Pass: return qText(MessageCatalogue::text(Msg::PassIndication, language));
    case ChipResult::Fail: return qText(MessageCatalogue::text(Msg::FailIndication, language));
    case ChipResult::Interrupted: break;
    }
    return qText(MessageCatalogue::text(Msg::InterruptedLabel, language));
}

}  // namespace

ProductionView::ProductionView(Workbench& workbench, OperationHost& host, QWidget* window)
    : QWidget(window, Qt::Window), workbench_(workbench), host_(host), window_(window),
      logPath_(SqliteLog::defaultPath())
{
    auto* programmers = new GangPanel(
        workbench_, host_, [this](const std::vector<std::string>& names) { return makeGang(names); }, this);
    ui_.setupUi(this, programmers);
    connect(programmers, &GangPanel::recorded, this, &ProductionView::showResult);
    connect(programmers, &GangPanel::runningChanged, this, &ProductionView::gangRunningChanged);
    connect(programmers, &GangPanel::stoppedOnItsOwn, this,
            [this](const QString& reason) { showIndication(Msg::StoppedIndication, StoppedColour, reason); });
    connect(programmers, &GangPanel::aloneStateShown, this, &ProductionView::showProgrammerState);
    connect(programmers, &GangPanel::tilesChanged, this, &ProductionView::refresh);
    connect(ui_.start, &QPushButton::clicked, this, &ProductionView::StartClick);
    connect(ui_.stop, &QPushButton::clicked, this, &ProductionView::StopClick);
    connect(ui_.reset, &QPushButton::clicked, this, &ProductionView::ResetCountersClick);
    connect(ui_.fullScreen, &QPushButton::clicked, this, &ProductionView::FullScreenClick);
    connect(new QShortcut(QKeySequence(Qt::Key_F11), this), &QShortcut::activated, this,
            &ProductionView::FullScreenClick);
    connect(ui_.target, &QSpinBox::valueChanged, this, &ProductionView::targetChanged);
    if (const std::optional<std::string> server = OwnSettings().value(PlacementSection, ServerKey))
        ui_.server->setText(qText(*server));
    connect(ui_.server, &QLineEdit::editingFinished, this, &ProductionView::rememberServer);
    serverTimer_ = new QTimer(this);
    serverTimer_->setInterval(1000);
    connect(serverTimer_, &QTimer::timeout, this, &ProductionView::refreshServerState);
    serverTimer_->start();
    window_->installEventFilter(this);
    ui_.indication->installEventFilter(this);
    showIndication(Msg::ReadyIndication, "#808080", {});
}

// The gang's programmers finish their chips and log them before the log goes:
// children would only be deleted after the members.
ProductionView::~ProductionView()
{
    if (isVisible())
        rememberPlacement();
    delete ui_.programmers;
}

bool ProductionView::running() const
{
    return ui_.programmers->running();
}

std::unique_ptr<GangRun> ProductionView::makeGang(const std::vector<std::string>& programmers)
{
    // BULK's loop queries the window's programmer between its chips, with the
    // workbench free: a run beside it would share that programmer.
    const auto* bulk = window_->findChild<QAbstractButton*>("ToolBulk");
    if (!job_ || (bulk && bulk->isChecked()) || !openLog()) {
        host_.beep();
        return nullptr;
    }
    GangRun::Settings settings;
    settings.jobHash = job_->sha256;
    if (runTarget() > 0)
        settings.goodTarget = runTarget();
    settings.goodBefore = log_->local().counters(job_->job.name).passed;
    // A job with its good chips made is refused before anyone is asked for a name.
    if (RefusalOfRun(job_->job, settings) == RunRefusal::GoodTargetReached) {
        offerMoreChips(settings);
        return nullptr;
    }
    OwnSettings remembered;
    const std::optional<std::string> operatorName =
        OperatorPrompt::ask(remembered, job_->job.operatorRequired, workbench_.languageIndex, this);
    if (!operatorName)
        return nullptr;
    settings.operatorName = *operatorName;
    if (const RunRefusal refusal = RefusalOfRun(job_->job, settings); refusal != RunRefusal::None) {
        host_.errorBox(RunRefusalText(refusal, job_->job, settings, workbench_.languageIndex));
        return nullptr;
    }
    showIndication(Msg::ReadyIndication, "#808080", {});
    return std::make_unique<GangRun>(workbench_, *log_, job_->job, settings, programmers);
}

// Start with the job's good chips made says so and offers the two ways on.
void ProductionView::offerMoreChips(const GangRun::Settings& settings)
{
    const int language = workbench_.languageIndex;
    QMessageBox box(QMessageBox::Information, windowTitle(),
                    qText(RunRefusalText(RunRefusal::GoodTargetReached, job_->job, settings, language)),
                    QMessageBox::NoButton, this);
    box.setObjectName("TargetAlreadyReached");
    QPushButton* raise = box.addButton(qText(MessageCatalogue::text(Msg::RaiseTargetButton, language)),
                                       QMessageBox::AcceptRole);
    QPushButton* reset = box.addButton(qText(MessageCatalogue::text(Msg::ResetCountersButton, language)),
                                       QMessageBox::DestructiveRole);
    box.addButton(qText(MessageCatalogue::text(Msg::EngineerPinCancel, language)), QMessageBox::RejectRole);
    box.exec();
    if (box.clickedButton() == raise) {
        ui_.target->setValue(static_cast<int>(settings.goodBefore + 1));
        ui_.target->setFocus();
        ui_.target->selectAll();
    } else if (box.clickedButton() == reset) {
        ResetCountersClick();
    }
}

// A target changed during a run counts from the next chip on. One changed
// from the job's is remembered for the job; one raised past the good chips
// takes back the word that the target was reached.
void ProductionView::targetChanged()
{
    if (running() && ui_.programmers->gang())
        ui_.programmers->gang()->setGoodTarget(runTarget() > 0 ? std::optional<int64_t>(runTarget()) : std::nullopt);
    if (job_ && !applyingJob_) {
        const bool own = job_->job.target ? runTarget() == *job_->job.target : runTarget() == 0;
        OwnSettings().setValue(TargetSection, targetKey(), own ? std::string() : std::to_string(runTarget()));
    }
    const bool stillWanted =
        runTarget() == 0 || (job_ && log_ && runTarget() > log_->local().counters(job_->job.name).passed);
    if (targetReached_ && stillWanted) {
        targetReached_->close();
        showIndication(static_cast<Msg>(ui_.indication->property("message").toInt()),
                       ui_.indication->property("colour").toString(), {});
    }
    refresh();
}

std::string ProductionView::targetKey() const
{
    return job_ ? job_->sha256 : std::string();
}

void ProductionView::setJob(const OpenedJob* job)
{
    job_ = job;
    if (targetReached_)
        targetReached_->close();
    std::optional<int64_t> target = job_ ? job_->job.target : std::nullopt;
    if (job_) {
        if (const std::optional<std::string> kept = OwnSettings().value(TargetSection, targetKey());
            kept && !kept->empty())
            target = std::strtoll(kept->c_str(), nullptr, 10);
    }
    applyingJob_ = true;
    ui_.target->setValue(target ? static_cast<int>(std::clamp<int64_t>(*target, 0, ui_.target->maximum())) : 0);
    applyingJob_ = false;
    ui_.rows->setRowCount(0);
    if (job_ && openLog()) {
        LogFilter filter;
        filter.job = job_->job.name;
        filter.limit = ShownRows;
        std::vector<LogRecord> last = log_->local().records(filter);
        for (auto record = last.rbegin(); record != last.rend(); ++record)
            showRecord(*record);
    }
    showIndication(Msg::ReadyIndication, "#808080", {});
    refresh();
}

void ProductionView::ApplyLanguage(int language)
{
    setWindowTitle(qText(MessageCatalogue::text(Msg::ProductionViewTitle, language)));
    ui_.applyLanguage(language);
    for (int row = 0; row < ui_.rows->rowCount(); ++row) {
        QTableWidgetItem* result = ui_.rows->item(row, ResultColumn);
        result->setText(resultText(static_cast<ChipResult>(result->data(Qt::UserRole).toInt()), language));
    }
    ui_.programmers->ApplyLanguage(language);
    if (!running() && ui_.indication->property("message").isValid())
        showIndication(static_cast<Msg>(ui_.indication->property("message").toInt()),
                       ui_.indication->property("colour").toString(), ui_.detail->text());
    refresh();
}

bool ProductionView::openLog()
{
    std::vector<std::string> targets{logPath_};
    if (const std::string server = ui_.server->text().trimmed().toStdString(); !server.empty())
        targets.push_back(server);
    if (log_ && log_->local().path() == logPath_ && log_->serverAddress() == (targets.size() > 1 ? targets[1] : ""))
        return true;
    std::string error;
    log_ = ProductionLog::open(targets, error, workbench_.languageIndex);
    if (!log_)
        showIndication(Msg::FailIndication, "#c00000", qText(error));
    rememberServer();
    return log_ != nullptr;
}

void ProductionView::rememberServer() const
{
    OwnSettings().setValue(PlacementSection, ServerKey, ui_.server->text().trimmed().toStdString());
}

int64_t ProductionView::runTarget() const
{
    return ui_.target->value();
}

void ProductionView::refresh()
{
    const int language = workbench_.languageIndex;
    const bool locked = job_ && job_->job.locked;
    const GangPanel& programmers = *ui_.programmers;
    ui_.jobText->setText(job_ ? qText(job_->job.name + (job_->job.note.empty() ? "" : " — " + job_->job.note))
                              : qText(MessageCatalogue::text(Msg::NoJob, language)));
    ui_.lockText->setText(job_ ? qText(MessageCatalogue::text(locked ? Msg::JobLockedState : Msg::JobUnlockedState,
                                                              language))
                               : QString());
    ui_.lockText->setStyleSheet(locked ? "color: #b06000; font-weight: bold" : QString());
    ui_.databaseText->setText(qText(logPath_));
    ui_.databaseText->setToolTip(ui_.databaseText->text());
    ui_.start->setEnabled(job_ && !running());
    ui_.stop->setEnabled(running() && !programmers.stopping());
    ui_.stop->setText(qText(
        MessageCatalogue::text(programmers.stopping() ? Msg::StoppingButton : Msg::StopButton, language)));
    ui_.reset->setEnabled(job_ && !running());
    ui_.server->setEnabled(!running());
    ui_.fullScreen->setText(
        qText(MessageCatalogue::text(operatorMode_ ? Msg::LeaveFullScreenButton : Msg::FullScreenButton, language)));
    // The window's own programmer, run alone, has no tile: its state stands here.
    ui_.programmerState->setVisible(programmers.empty());
    if (!running())
        showProgrammerState(TileState::of(nullptr, true, language));
    if (!job_ || !log_) {
        ui_.countersText->clear();
        ui_.throughputText->clear();
        ui_.serialText->clear();
        ui_.checksumText->clear();
        return;
    }
    const ProductionCounters counters = log_->local().counters(job_->job.name);
    ui_.countersText->setText(qText(ProductionSummary::counters(counters, language)));
    ui_.throughputText->setText(qText(ProductionSummary::throughput(
        counters, static_cast<int64_t>(programmers.tiles().size()), runTarget(), language)));
    const ProductionJob& job = job_->job;
    if (job.serial) {
        const std::optional<uint64_t> next = log_->local().peekSerial(job.name, *job.serial);
        ui_.serialText->setText(qText(next ? job.serial->text(*next) : "-"));
    } else {
        ui_.serialText->setText(qText(MessageCatalogue::text(Msg::NoSerial, language)));
    }
    if (ui_.checksumText->text().isEmpty())
        ui_.checksumText->setText(qText(ProductionSummary::checksums(job.expected.crc32Text(), job.expected.sha256)));
}

void ProductionView::showIndication(Msg text, const QString& colour, const QString& detail)
{
    ui_.indication->setText(qText(MessageCatalogue::text(text, workbench_.languageIndex)));
    ui_.fitMarkText();
    ui_.indication->setProperty("message", static_cast<int>(text));
    ui_.indication->setProperty("colour", colour);
    ui_.indication->setStyleSheet("color: white; background-color: " + colour + "; border-radius: 8px");
    ui_.detail->setText(detail);
    ui_.detail->setStyleSheet(detail.isEmpty() ? QString() : "color: #c00000");
}

void ProductionView::showRecord(const LogRecord& record)
{
    QTableWidget* rows = ui_.rows;
    rows->insertRow(0);
    const QStringList cells = {qText(IsoTime::localText(record.time)),
                               qText(record.chip),
                               resultText(record.result, workbench_.languageIndex),
                               qText(record.serial),
                               qText(record.crc32),
                               qText(record.programmer),
                               qText(record.operatorName),
                               qText(record.message)};
    for (int column = 0; column < cells.size(); ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        if (record.result != ChipResult::Pass)
            item->setForeground(QColor("#c00000"));
        // The message may be cut short in its column; the whole of it is a hover away.
        if (column == cells.size() - 1)
            item->setToolTip(cells[column]);
        if (column == ResultColumn)
            item->setData(Qt::UserRole, static_cast<int>(record.result));
        rows->setItem(0, column, item);
    }
    while (rows->rowCount() > ShownRows)
        rows->removeRow(rows->rowCount() - 1);
    for (int column = 0; column + 1 < cells.size(); ++column)
        rows->resizeColumnToContents(column);
}

void ProductionView::showProgrammerState(const TileState& state)
{
    ui_.programmerState->setText(qText(state.text));
    ui_.programmerState->setStyleSheet(ProgrammerTile::toneStyle(state.tone));
}

// A line server that fails is news for the whole view, full screen too: one
// banner says so with the records that wait, above everything else.
void ProductionView::refreshServerState()
{
    if (!log_ || !log_->forwarder()) {
        ui_.serverState->clear();
        ui_.serverBanner->hide();
        return;
    }
    const LogForwarder::Status status = log_->forwarder()->status();
    const QString text = qText(LineServerText(status, workbench_.languageIndex));
    ui_.serverState->setText(text);
    ui_.serverBanner->setText(text);
    ui_.serverBanner->setVisible(status.timedOut || (!status.reachable && !status.error.empty()));
}

void ProductionView::showResult(const LogRecord& record)
{
    showRecord(record);
    ui_.checksumText->setText(qText(ProductionSummary::checksums(record.crc32, record.sha256)));
    if (record.result == ChipResult::Pass)
        showIndication(Msg::PassIndication, "#1a9a1a", {});
    else
        showIndication(Msg::FailIndication, "#c00000", qText(record.message));
    refresh();
}

// The window's controls (chip lists, range, options, hex views) change what
// every programmer of the gang reads, so they rest while it runs; the busy
// workbench refuses the commands.
void ProductionView::gangRunningChanged(bool running)
{
    if (auto* main = qobject_cast<QMainWindow*>(window_); main && main->centralWidget())
        main->centralWidget()->setEnabled(!running);
    refresh();
    if (!running && ui_.programmers->gang() && ui_.programmers->gang()->goodTargetReached())
        showTargetReached(ui_.programmers->gang()->goodChips());
    if (!running && closeWindowAfterRun_)
        QTimer::singleShot(0, window_, &QWidget::close);
}

// Stays until the operator acknowledges it or raises the target, while the view goes on.
void ProductionView::showTargetReached(int64_t goodChips)
{
    const QString text = qText(ProductionText(Msg::GoodTargetReached, workbench_.languageIndex, {std::to_string(goodChips)}));
    showIndication(Msg::PassIndication, "#1a9a1a", text);
    ui_.detail->setStyleSheet(QString());
    if (targetReached_)
        targetReached_->close();
    targetReached_ = new QMessageBox(QMessageBox::Information, windowTitle(), text, QMessageBox::Ok, this);
    targetReached_->setObjectName("TargetReached");
    targetReached_->setAttribute(Qt::WA_DeleteOnClose);
    targetReached_->setModal(false);
    targetReached_->show();
}

void ProductionView::StartClick()
{
    if (!job_ || running()) {
        host_.beep();
        return;
    }
    if (!ui_.programmers->empty()) {
        ui_.programmers->startAll();
    } else {
        // Busy while it asks: an activation of the window meanwhile would
        // check the connection on the same link and take the reply.
        HardwareInfo programmer;
        if (!workbench_.busy) {
            const BusyScope busy(workbench_);
            HardwareInfo::query(workbench_.link, programmer);
        }
        ui_.programmers->startAlone(programmer.serial);
    }
    refresh();
}

void ProductionView::StopClick()
{
    ui_.programmers->stopAll();
    refresh();
}

void ProductionView::ResetCountersClick()
{
    if (!job_ || running() || !openLog())
        return;
    if (!EngineerPinPrompt::confirm(job_->job, workbench_.languageIndex, this))
        return;
    if (!host_.question(ProductionText(Msg::ResetCountersQuestion, workbench_.languageIndex, {job_->job.name})))
        return;
    std::string error;
    if (!log_->local().resetCounters(job_->job.name, error))
        host_.errorBox(error);
    refresh();
}

// The operator's full screen: the mark grows with the screen; the job's
// details and the log give way to it, the tiles stay. Leaving it may need an
// engineer's word.
void ProductionView::FullScreenClick()
{
    if (operatorMode_ && job_ && !EngineerPinPrompt::confirm(job_->job, workbench_.languageIndex, this))
        return;
    setOperatorMode(!operatorMode_);
}

void ProductionView::setOperatorMode(bool on)
{
    if (on == operatorMode_)
        return;
    if (on)
        rememberPlacement();
    operatorMode_ = on;
    ui_.jobDetails->setVisible(!on);
    ui_.rows->setVisible(!on);
    ui_.reset->setVisible(!on);
    ui_.programmers->setAddingShown(!on);
    // Without the log the tiles take what room the mark leaves.
    ui_.programmers->setSizePolicy(QSizePolicy::Preferred, on ? QSizePolicy::Expanding : QSizePolicy::Maximum);
    // The window's fonts come back before the window does: measured with the
    // full screen's, it would come back wider than the screen.
    if (on) {
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        showFullScreen();
        fitMark();
    } else {
        fitMark();
        showNormal();
        keepOnScreen();
    }
    refresh();
}

void ProductionView::keepOnScreen()
{
    if (operatorMode_ || !screen())
        return;
    const QRect area = screen()->availableGeometry();
    const QRect frame = frameGeometry();
    const QSize margins = frame.size() - size();
    setMaximumSize(area.size() - margins);
    if (!area.contains(frame)) {
        resize(size().boundedTo(area.size() - margins));
        move(std::clamp(frame.x(), area.left(), std::max(area.left(), area.right() + 1 - frameGeometry().width())),
             std::clamp(frame.y(), area.top(), std::max(area.top(), area.bottom() + 1 - frameGeometry().height())));
    }
}

void ProductionView::fitMark()
{
    ui_.fitWatched(operatorMode_ ? height() : 0);
}

void ProductionView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (operatorMode_)
        fitMark();
}

void ProductionView::rememberPlacement() const
{
    if (operatorMode_ || !placed_)
        return;
    OwnSettings().setValue(PlacementSection, PlacementKey, saveGeometry().toBase64().toStdString());
}

// Where the user left it, the first time it is shown in a run of Belcor.
void ProductionView::showEvent(QShowEvent* event)
{
    if (!placed_) {
        placed_ = true;
        const QSize fresh = size();
        // A placement from a larger screen is no place on this one.
        const std::optional<std::string> saved = OwnSettings().value(PlacementSection, PlacementKey);
        if (saved && restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(*saved))) && screen()) {
            const QSize area = screen()->availableGeometry().size();
            if (size().width() > area.width() || size().height() > area.height())
                resize(fresh);
        }
    }
    keepOnScreen();
    QWidget::showEvent(event);
}

void ProductionView::hideEvent(QHideEvent* event)
{
    rememberPlacement();
    QWidget::hideEvent(event);
}

// The run goes on while the view is hidden; closing only hides it, and
// leaves the full screen first as F11 would.
void ProductionView::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (operatorMode_) {
        FullScreenClick();
        if (operatorMode_)
            return;
    }
    hide();
}

// Closing the main window during a run ends the run after the chip in hand,
// then closes. The mark's text follows the mark's width.
bool ProductionView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_.indication && event->type() == QEvent::Resize)
        ui_.fitMarkText();
    if (watched == window_ && event->type() == QEvent::Close && running()) {
        StopClick();
        closeWindowAfterRun_ = true;
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
