#include "production/ui/ProductionMenu.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QWidget>
#include <filesystem>

#include "buffers/BufferSet.h"
#include "core/OperationHost.h"
#include "core/OwnSettings.h"
#include "core/Workbench.h"
#include "production/CsvExport.h"
#include "production/JobFile.h"
#include "production/JobSetup.h"
#include "production/ProductionText.h"
#include "production/ui/EngineerPinPrompt.h"
#include "production/ui/JobEditor.h"

namespace {

QString qText(const std::string& text)
{
    return QString::fromStdString(text);
}

// In Belcor's own settings file: the job open when it ended.
constexpr const char* JobSection = "Production";
constexpr const char* LastJobKey = "lastJob";

}  // namespace

const std::vector<const char*>& ProductionMenu::lockedControls()
{
    // Chip lists, Detect and Search, the chip editor, Open, Fill, the hex
    // views, the range and the Auto options.
    static const std::vector<const char*> names = {
        "ComboBox1", "ComboBox2", "ComboBox3", "BitBtn1", "BitBtn2", "ToolDevice", "N3", "ToolOpen", "O2",
        "ToolFill", "Fill", "FlashEditor", "EepromEditor", "GroupBox4", "GroupBox2"};
    return names;
}

ProductionMenu::ProductionMenu(Workbench& workbench, OperationHost& host, QWidget* window)
    : QMenu(window), workbench_(workbench), host_(host), window_(window),
      view_(new ProductionView(workbench, host, window))
{
    setObjectName("ProductionMenu");
    newJob_ = addAction(QString(), this, &ProductionMenu::NewJobClick);
    newJob_->setObjectName("NewJob");
    editJob_ = addAction(QString(), this, &ProductionMenu::EditJobClick);
    editJob_->setObjectName("EditJob");
    saveJob_ = addAction(QString(), this, &ProductionMenu::SaveJobClick);
    saveJob_->setObjectName("SaveJob");
    openJob_ = addAction(QString(), this, &ProductionMenu::OpenJobClick);
    openJob_->setObjectName("OpenJob");
    closeJob_ = addAction(QString(), this, &ProductionMenu::CloseJobClick);
    closeJob_->setObjectName("CloseJob");
    addSeparator();
    exportLog_ = addAction(QString(), this, &ProductionMenu::ExportLogClick);
    exportLog_->setObjectName("ExportLog");
    addSeparator();
    productionView_ = addAction(QString(), this, &ProductionMenu::ProductionViewClick);
    productionView_->setObjectName("ShowProductionView");
    productionView_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    closeJob_->setEnabled(false);
    editJob_->setEnabled(false);
    for (const char* name : lockedControls()) {
        if (QWidget* control = window_->findChild<QWidget*>(name))
            control->installEventFilter(this);
    }
    // After the view's own filter, so that it is asked first.
    window_->installEventFilter(this);
    ApplyLanguage(workbench_.languageIndex);
}

void ProductionMenu::rememberJob(const std::string& path) const
{
    OwnSettings().setValue(JobSection, LastJobKey, path);
}

// A job whose file has gone since is forgotten quietly: there is nothing to run.
void ProductionMenu::reopenLastJob()
{
    const std::optional<std::string> path = OwnSettings().value(JobSection, LastJobKey);
    if (!path || path->empty())
        return;
    std::error_code error;
    if (std::filesystem::is_regular_file(*path, error))
        openJob(*path, false);
    else
        rememberJob({});
}

// The view is the window's child, but the menu's to end, so that the window
// can end it (and a gang's chips in flight) while its workbench still exists.
ProductionMenu::~ProductionMenu()
{
    delete view_;
}

void ProductionMenu::ApplyLanguage(int language)
{
    setTitle(qText(MessageCatalogue::text(Msg::ProductionMenu, language)));
    newJob_->setText(qText(MessageCatalogue::text(Msg::NewJobMenu, language)));
    editJob_->setText(qText(MessageCatalogue::text(Msg::EditJobMenu, language)));
    saveJob_->setText(qText(MessageCatalogue::text(Msg::SaveJobMenu, language)));
    openJob_->setText(qText(MessageCatalogue::text(Msg::OpenJobMenu, language)));
    closeJob_->setText(qText(MessageCatalogue::text(Msg::CloseJobMenu, language)));
    exportLog_->setText(qText(MessageCatalogue::text(Msg::ExportLogMenu, language)));
    productionView_->setText(qText(MessageCatalogue::text(Msg::ProductionViewMenu, language)));
    view_->ApplyLanguage(language);
}

AutoOptions ProductionMenu::windowOptions() const
{
    const auto ticked = [this](const char* name) {
        const QCheckBox* box = window_->findChild<QCheckBox*>(name);
        return box == nullptr || box->isChecked();
    };
    return AutoOptions{ticked("CheckBox1"), ticked("CheckBox2"), ticked("CheckBox3")};
}

void ProductionMenu::SaveJobClick()
{
    const int language = workbench_.languageIndex;
    if (workbench_.busy || view_->running()) {
        host_.beep();
        return;
    }
    if (workbench_.buffers.dataLength <= 0) {
        host_.errorBox(MessageCatalogue::text(Msg::NoImageLoaded, language));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(window_, saveJob_->text(), QString(),
                                                      qText(MessageCatalogue::text(Msg::JobFileFilter, language)));
    if (path.isEmpty())
        return;
    bool accepted = false;
    const QString rule = QInputDialog::getText(window_, saveJob_->text(),
                                               qText(MessageCatalogue::text(Msg::SerialRulePrompt, language)),
                                               QLineEdit::Normal, QString(), &accepted);
    if (!accepted)
        return;
    std::optional<SerialRule> serial;
    if (!rule.trimmed().isEmpty()) {
        std::string error;
        serial = ParseSerialRule(rule.trimmed().toStdString(), error);
        if (!serial) {
            host_.errorBox(error);
            return;
        }
    }
    const bool locked = host_.question(MessageCatalogue::text(Msg::LockJobQuestion, language));
    QString jobPath = path;
    if (!jobPath.endsWith(JobFile::Extension))
        jobPath += JobFile::Extension;
    saveJob(jobPath.toStdString(), serial, locked);
}

// The image is the buffer as the window holds it, written beside the job as
// JOB.bin, so the job programs exactly what the window shows, edits included.
bool ProductionMenu::saveJob(const std::string& path, const std::optional<SerialRule>& serial, bool locked)
{
    JobChoices choices;
    choices.options = windowOptions();
    choices.serial = serial;
    choices.locked = locked;
    std::string error;
    if (!SaveJob(workbench_, path, choices, error)) {
        host_.errorBox(error);
        return false;
    }
    host_.insertLogLine(ProductionText(Msg::JobSaved, workbench_.languageIndex, {path}));
    return true;
}

void ProductionMenu::NewJobClick()
{
    if (view_->running()) {
        host_.beep();
        return;
    }
    JobEditor editor(workbench_.catalogue, windowOptions(), workbench_.languageIndex, window_);
    if (editor.exec() != QDialog::Accepted)
        return;
    host_.insertLogLine(ProductionText(Msg::JobSaved, workbench_.languageIndex, {editor.jobPath()}));
    if (!workbench_.busy &&
        host_.question(ProductionText(Msg::OpenSavedJobQuestion, workbench_.languageIndex, {editor.jobPath()})))
        openJob(editor.jobPath());
}

// The open job, changed and opened again; a locked one asks for its PIN first.
void ProductionMenu::EditJobClick()
{
    if (!job_ || workbench_.busy || view_->running()) {
        host_.beep();
        return;
    }
    if (job_->job.locked && !EngineerPinPrompt::confirm(job_->job, workbench_.languageIndex, window_))
        return;
    JobEditor editor(workbench_.catalogue, job_->job.options, workbench_.languageIndex, window_);
    editor.editJob(job_->job, job_->path);
    if (editor.exec() != QDialog::Accepted)
        return;
    host_.insertLogLine(ProductionText(Msg::JobSaved, workbench_.languageIndex, {editor.jobPath()}));
    openJob(editor.jobPath(), false);
}

void ProductionMenu::OpenJobClick()
{
    if (workbench_.busy || view_->running() || !mayLeaveJob()) {
        host_.beep();
        return;
    }
    const QString path = QFileDialog::getOpenFileName(
        window_, openJob_->text(), QString(), qText(MessageCatalogue::text(Msg::JobFileFilter, workbench_.languageIndex)));
    if (!path.isEmpty())
        openJob(path.toStdString());
}

// A locked job with a PIN is left only by the engineer.
bool ProductionMenu::mayLeaveJob()
{
    return !job_ || !job_->job.locked || EngineerPinPrompt::confirm(job_->job, workbench_.languageIndex, window_);
}

bool ProductionMenu::openJob(const std::string& path, bool askPin)
{
    const int language = workbench_.languageIndex;
    if (askPin && !mayLeaveJob())
        return false;
    closeJob();
    const JobFileRead read = JobFile::read(path);
    if (!read.job) {
        host_.errorBox(ProductionText(Msg::JobFileUnusable, language, {path, read.error}));
        return false;
    }
    if (const std::string refusal = ApplyJob(workbench_, host_, *read.job, path); !refusal.empty()) {
        host_.errorBox(refusal);
        return false;
    }
    job_ = OpenedJob{*read.job, path, read.sha256};
    rememberJob(path);
    closeJob_->setEnabled(true);
    editJob_->setEnabled(true);
    applyLock();
    view_->setJob(&*job_);
    emit jobChanged();
    return true;
}

void ProductionMenu::CloseJobClick()
{
    if (view_->running()) {
        host_.beep();
        return;
    }
    if (mayLeaveJob())
        closeJob();
}

void ProductionMenu::closeJob()
{
    job_.reset();
    rememberJob({});
    closeConfirmed_ = false;
    closeJob_->setEnabled(false);
    editJob_->setEnabled(false);
    applyLock();
    view_->setJob(nullptr);
    emit jobChanged();
}

void ProductionMenu::ExportLogClick()
{
    const QString path = QFileDialog::getSaveFileName(
        window_, exportLog_->text(), QString(), qText(MessageCatalogue::text(Msg::CsvFileFilter, workbench_.languageIndex)));
    if (!path.isEmpty())
        exportLog(path.endsWith(".csv") ? path.toStdString() : path.toStdString() + ".csv");
}

bool ProductionMenu::exportLog(const std::string& path)
{
    std::string error;
    const std::unique_ptr<SqliteLog> log = SqliteLog::open(view_->logPath(), error, workbench_.languageIndex);
    int64_t count = 0;
    if (!log || !(error = ExportCsv(*log, LogFilter{job_ ? job_->job.name : std::string(), {}, 0}, path, count))
                     .empty()) {
        host_.errorBox(error);
        return false;
    }
    host_.insertLogLine(ProductionText(Msg::LogExported, workbench_.languageIndex, {std::to_string(count), path}));
    return true;
}

void ProductionMenu::ProductionViewClick()
{
    view_->show();
    view_->raise();
    view_->activateWindow();
}

// The workbench refuses every command that would change the job's chip or
// image; the controls of those commands rest meanwhile. Each control gets back
// the state it had before the lock, so one that was off for its own reasons
// stays off.
void ProductionMenu::applyLock()
{
    const bool locked = job_ && job_->job.locked;
    workbench_.jobLocked = locked;
    if (locked == !enabledBeforeLock_.empty())
        return;
    for (const char* name : lockedControls()) {
        QWidget* control = window_->findChild<QWidget*>(name);
        QAction* action = control ? nullptr : window_->findChild<QAction*>(name);
        if (!control && !action)
            continue;
        if (locked)
            enabledBeforeLock_[name] = control ? !control->testAttribute(Qt::WA_ForceDisabled) : action->isEnabled();
        const bool enabled = !locked && enabledBeforeLock_[name];
        if (control)
            control->setEnabled(enabled);
        else
            action->setEnabled(enabled);
    }
    if (!locked)
        enabledBeforeLock_.clear();
}

// Batch mode enables the tool bar again when it ends; a locked job's controls
// stay off all the same.
bool ProductionMenu::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::Close && job_ && job_->job.locked && !closeConfirmed_) {
        if (!EngineerPinPrompt::confirm(job_->job, workbench_.languageIndex, window_)) {
            event->ignore();
            return true;
        }
        closeConfirmed_ = true;
    }
    if (event->type() == QEvent::EnabledChange && job_ && job_->job.locked) {
        auto* control = qobject_cast<QWidget*>(watched);
        if (control && !control->testAttribute(Qt::WA_ForceDisabled))
            control->setEnabled(false);
    }
    return QMenu::eventFilter(watched, event);
}
