#include "production/ui/ProductionView.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "chips/ChipCatalogue.h"
#include "core/BusyScope.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "maint/HardwareInfo.h"
#include "production/GangRun.h"
#include "production/JobSetup.h"
#include "production/LineServerText.h"
#include "production/ProductionLog.h"
#include "production/ProductionText.h"
#include "production/ui/GangPanel.h"

namespace {

QString qText(const std::string& text)
{
    return QString::fromStdString(text);
}

QLabel* boldLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

}  // namespace

ProductionView::ProductionView(Workbench& workbench, OperationHost& host, QWidget* window)
    : QWidget(window, Qt::Window), workbench_(workbench), host_(host), window_(window),
      logPath_(SqliteLog::defaultPath())
{
    setObjectName("ProductionView");
    resize(760, 720);

    indication_ = new QLabel(this);
    indication_->setObjectName("Indication");
    indication_->setAlignment(Qt::AlignCenter);
    indication_->setMinimumHeight(120);
    QFont big = indication_->font();
    big.setPointSize(54);
    big.setBold(true);
    indication_->setFont(big);
    detail_ = new QLabel(this);
    detail_->setObjectName("FailureText");
    detail_->setWordWrap(true);
    detail_->setAlignment(Qt::AlignCenter);
    QFont larger = detail_->font();
    larger.setPointSize(larger.pointSize() + 4);
    detail_->setFont(larger);

    auto* grid = new QGridLayout;
    int row = 0;
    const auto addRow = [&](QLabel*& label, QWidget* value) {
        label = boldLabel(this);
        grid->addWidget(label, row, 0, Qt::AlignTop);
        grid->addWidget(value, row++, 1);
    };
    jobText_ = new QLabel(this);
    jobText_->setWordWrap(true);
    addRow(jobLabel_, jobText_);
    lockText_ = new QLabel(this);
    lockText_->setObjectName("LockState");
    grid->addWidget(lockText_, row++, 1);
    countersText_ = new QLabel(this);
    countersText_->setObjectName("Counters");
    countersText_->setFont(larger);
    grid->addWidget(countersText_, row++, 0, 1, 2);
    throughputText_ = new QLabel(this);
    throughputText_->setObjectName("Throughput");
    grid->addWidget(throughputText_, row++, 0, 1, 2);
    target_ = new QSpinBox(this);
    target_->setObjectName("TargetCount");
    target_->setRange(0, 100000000);
    target_->setSpecialValueText("-");
    target_->setMinimumWidth(120);
    auto* targetRow = new QWidget(this);
    auto* targetLayout = new QHBoxLayout(targetRow);
    targetLayout->setContentsMargins(0, 0, 0, 0);
    targetLayout->addWidget(target_);
    targetLayout->addStretch();
    addRow(targetLabel_, targetRow);
    serialText_ = new QLabel(this);
    serialText_->setObjectName("NextSerial");
    serialText_->setFont(larger);
    addRow(serialLabel_, serialText_);
    checksumText_ = new QLabel(this);
    checksumText_->setObjectName("Checksums");
    checksumText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(checksumText_, row++, 0, 1, 2);
    databaseText_ = new QLabel(this);
    databaseText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addRow(databaseLabel_, databaseText_);
    server_ = new QLineEdit(this);
    server_->setObjectName("ServerAddress");
    server_->setPlaceholderText("postgresql://user@host/database");
    addRow(serverLabel_, server_);
    serverState_ = new QLabel(this);
    serverState_->setObjectName("ServerState");
    serverState_->setWordWrap(true);
    grid->addWidget(serverState_, row++, 1);
    grid->setColumnStretch(1, 1);

    programmers_ = new GangPanel(
        workbench_, host_, [this](const std::vector<std::string>& programmers) { return makeGang(programmers); },
        this);
    connect(programmers_, &GangPanel::recorded, this, &ProductionView::showResult);
    connect(programmers_, &GangPanel::runningChanged, this, &ProductionView::gangRunningChanged);
    connect(programmers_, &GangPanel::aloneStopped, this,
            [this](const QString& reason) { showIndication(Msg::FailIndication, "#c00000", reason); });
    // Tiles take room from the log table; the view grows instead, as far as it needs.
    connect(programmers_, &GangPanel::tilesChanged, this, [this] { resize(size().expandedTo(sizeHint())); });

    rows_ = new QTableWidget(0, 7, this);
    rows_->setObjectName("LogRows");
    rows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rows_->verticalHeader()->hide();
    rows_->horizontalHeader()->setStretchLastSection(true);
    // A handful of rows stay in sight however many tiles the view holds.
    rows_->setMinimumHeight(rows_->horizontalHeader()->sizeHint().height() +
                            5 * rows_->verticalHeader()->defaultSectionSize());

    start_ = new QPushButton(this);
    start_->setObjectName("Start");
    stop_ = new QPushButton(this);
    stop_->setObjectName("Stop");
    reset_ = new QPushButton(this);
    reset_->setObjectName("ResetCounters");
    for (QPushButton* button : {start_, stop_}) {
        QFont font = button->font();
        font.setPointSize(font.pointSize() + 6);
        button->setFont(font);
        button->setMinimumHeight(48);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addStretch();
    buttons->addWidget(reset_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(indication_);
    layout->addWidget(detail_);
    layout->addLayout(grid);
    layout->addWidget(programmers_);
    layout->addWidget(rows_, 1);
    layout->addLayout(buttons);

    connect(start_, &QPushButton::clicked, this, &ProductionView::StartClick);
    connect(stop_, &QPushButton::clicked, this, &ProductionView::StopClick);
    connect(reset_, &QPushButton::clicked, this, &ProductionView::ResetCountersClick);
    connect(target_, &QSpinBox::valueChanged, this, [this] { refresh(); });
    serverTimer_ = new QTimer(this);
    serverTimer_->setInterval(1000);
    connect(serverTimer_, &QTimer::timeout, this, &ProductionView::refreshServerState);
    serverTimer_->start();
    window_->installEventFilter(this);
    showIndication(Msg::ReadyIndication, "#808080", {});
}

// The gang's programmers finish their chips and log them before the log goes:
// children would only be deleted after the members.
ProductionView::~ProductionView()
{
    delete programmers_;
}

bool ProductionView::running() const
{
    return programmers_->running();
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
        settings.target = chipsStillWanted();
    return std::make_unique<GangRun>(workbench_, *log_, job_->job, settings, programmers);
}

void ProductionView::setJob(const OpenedJob* job)
{
    job_ = job;
    rows_->setRowCount(0);
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
    jobLabel_->setText(qText(MessageCatalogue::text(Msg::JobLabel, language)));
    targetLabel_->setText(qText(MessageCatalogue::text(Msg::TargetLabel, language)));
    serialLabel_->setText(qText(MessageCatalogue::text(Msg::NextSerialLabel, language)));
    databaseLabel_->setText(qText(MessageCatalogue::text(Msg::LogDatabaseLabel, language)));
    serverLabel_->setText(qText(MessageCatalogue::text(Msg::PostgresLabel, language)));
    start_->setText(qText(MessageCatalogue::text(Msg::StartButton, language)));
    // Wide enough for "Stopping…" too (refresh() sets the text it shows).
    stop_->setText(qText(MessageCatalogue::text(Msg::StoppingButton, language)));
    stop_->setMinimumWidth(stop_->sizeHint().width());
    reset_->setText(qText(MessageCatalogue::text(Msg::ResetCountersButton, language)));
    programmers_->ApplyLanguage(language);
    rows_->setHorizontalHeaderLabels(qText(MessageCatalogue::text(Msg::LogColumns, language)).split('|'));
    if (!running() && indication_->property("message").isValid())
        showIndication(static_cast<Msg>(indication_->property("message").toInt()),
                       indication_->property("colour").toString(), detail_->text());
    refresh();
}

bool ProductionView::openLog()
{
    std::vector<std::string> targets{logPath_};
    if (const std::string server = server_->text().trimmed().toStdString(); !server.empty())
        targets.push_back(server);
    if (log_ && log_->local().path() == logPath_ && log_->serverAddress() == (targets.size() > 1 ? targets[1] : ""))
        return true;
    std::string error;
    log_ = ProductionLog::open(targets, error);
    if (!log_)
        showIndication(Msg::FailIndication, "#c00000", qText(error));
    return log_ != nullptr;
}

int64_t ProductionView::runTarget() const
{
    return target_->value();
}

// The target counts the job's chips, so a run after a restart does the rest.
int64_t ProductionView::chipsStillWanted()
{
    return std::max<int64_t>(runTarget() - log_->local().counters(job_->job.name).total(), 0);
}

void ProductionView::refresh()
{
    const int language = workbench_.languageIndex;
    const bool locked = job_ && job_->job.locked;
    jobText_->setText(job_ ? qText(job_->job.name + (job_->job.note.empty() ? "" : " — " + job_->job.note))
                           : qText(MessageCatalogue::text(Msg::NoJob, language)));
    lockText_->setText(job_ ? qText(MessageCatalogue::text(locked ? Msg::JobLockedState : Msg::JobUnlockedState,
                                                           language))
                            : QString());
    lockText_->setStyleSheet(locked ? "color: #b06000; font-weight: bold" : QString());
    databaseText_->setText(qText(logPath_));
    start_->setEnabled(job_ && !running());
    stop_->setEnabled(running() && !programmers_->stopping());
    stop_->setText(qText(MessageCatalogue::text(programmers_->stopping() ? Msg::StoppingButton : Msg::StopButton,
                                                language)));
    reset_->setEnabled(job_ && !running());
    server_->setEnabled(!running());
    if (!job_ || !log_) {
        countersText_->clear();
        throughputText_->clear();
        serialText_->clear();
        checksumText_->clear();
        return;
    }
    const ProductionCounters counters = log_->local().counters(job_->job.name);
    const auto label = [language](Msg message) { return MessageCatalogue::text(message, language); };
    char yield[32] = "-";
    if (const std::optional<double> percent = counters.yieldPercent())
        std::snprintf(yield, sizeof yield, "%.1f%%", *percent);
    countersText_->setText(qText(label(Msg::PassedLabel) + " " + std::to_string(counters.passed) + "    " +
                                 label(Msg::FailedLabel) + " " + std::to_string(counters.failed) + "    " +
                                 (counters.interrupted ? label(Msg::InterruptedLabel) + " " +
                                                             std::to_string(counters.interrupted) + "    "
                                                       : std::string()) +
                                 label(Msg::TotalLabel) + " " + std::to_string(counters.total()) + "    " +
                                 label(Msg::YieldLabel) + " " + yield));
    // Each programmer of the station does a chip per average cycle, so the
    // station's rate and time left are those of one times and over N.
    const int64_t stationSize = std::max<int64_t>(1, static_cast<int64_t>(programmers_->tiles().size()));
    const std::optional<int64_t> cycle = counters.averageCycleMs();
    std::optional<double> rate = counters.chipsPerHour();
    std::optional<int64_t> left = runTarget() > 0 ? counters.timeLeftMs(runTarget()) : std::nullopt;
    if (rate)
        *rate *= static_cast<double>(stationSize);
    if (left)
        *left /= stationSize;
    char cycleText[32] = "-";
    if (cycle)
        std::snprintf(cycleText, sizeof cycleText, "%.1f s", static_cast<double>(*cycle) / 1000.0);
    throughputText_->setText(qText(label(Msg::CycleLabel) + " " + cycleText + "    " + label(Msg::ChipsPerHourLabel) +
                                   " " + (rate ? std::to_string(static_cast<int64_t>(*rate)) : "-") + "    " +
                                   label(Msg::TimeLeftLabel) + " " + (left ? DurationText(*left) : "-")));
    const ProductionJob& job = job_->job;
    if (job.serial) {
        const std::optional<uint64_t> next = log_->local().peekSerial(job.name, *job.serial);
        serialText_->setText(qText(next ? job.serial->text(*next) : "-"));
    } else {
        serialText_->setText(qText(label(Msg::NoSerial)));
    }
    if (checksumText_->text().isEmpty())
        checksumText_->setText(qText("CRC-32 " + job.expected.crc32Text() + "    SHA-256 " + job.expected.sha256));
}

void ProductionView::showIndication(Msg text, const QString& colour, const QString& detail)
{
    indication_->setText(qText(MessageCatalogue::text(text, workbench_.languageIndex)));
    indication_->setProperty("message", static_cast<int>(text));
    indication_->setProperty("colour", colour);
    indication_->setStyleSheet("color: white; background-color: " + colour + "; border-radius: 8px");
    detail_->setText(detail);
    detail_->setStyleSheet(detail.isEmpty() ? QString() : "color: #c00000");
}

void ProductionView::showRecord(const LogRecord& record)
{
    rows_->insertRow(0);
    const QStringList cells = {qText(record.time), qText(record.chip), qText(record.result), qText(record.serial),
                               qText(record.crc32), qText(record.message), qText(record.programmer)};
    for (int column = 0; column < cells.size(); ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        if (record.result != "pass")
            item->setForeground(QColor("#c00000"));
        rows_->setItem(0, column, item);
    }
    while (rows_->rowCount() > ShownRows)
        rows_->removeRow(rows_->rowCount() - 1);
    rows_->resizeColumnsToContents();
}

void ProductionView::refreshServerState()
{
    if (!log_ || !log_->forwarder()) {
        serverState_->clear();
        return;
    }
    serverState_->setText(qText(LineServerText(log_->forwarder()->status(), workbench_.languageIndex)));
}

void ProductionView::showResult(const LogRecord& record)
{
    showRecord(record);
    checksumText_->setText(qText("CRC-32 " + record.crc32 + "    SHA-256 " + record.sha256));
    if (record.result == "pass")
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
    if (!running && closeWindowAfterRun_)
        QTimer::singleShot(0, window_, &QWidget::close);
}

void ProductionView::StartClick()
{
    if (!job_ || running()) {
        host_.beep();
        return;
    }
    if (!programmers_->empty()) {
        programmers_->startAll();
    } else {
        // Busy while it asks: an activation of the window meanwhile would
        // check the connection on the same link and take the reply.
        HardwareInfo programmer;
        if (!workbench_.busy) {
            const BusyScope busy(workbench_);
            HardwareInfo::query(workbench_.link, programmer);
        }
        programmers_->startAlone(programmer.serial);
    }
    refresh();
}

void ProductionView::StopClick()
{
    programmers_->stopAll();
    refresh();
}

void ProductionView::ResetCountersClick()
{
    if (!job_ || running() || !openLog())
        return;
    if (!host_.question(ProductionText(Msg::ResetCountersQuestion, workbench_.languageIndex, {job_->job.name})))
        return;
    std::string error;
    if (!log_->local().resetCounters(job_->job.name, error))
        host_.errorBox(error);
    refresh();
}

// The run goes on while the view is hidden; closing only hides it.
void ProductionView::closeEvent(QCloseEvent* event)
{
    hide();
    event->ignore();
}

// Closing the main window during a run ends the run after the chip in hand,
// then closes.
bool ProductionView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::Close && running()) {
        StopClick();
        closeWindowAfterRun_ = true;
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
