#include "app/FileCommands.h"

#include <QDate>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QTabWidget>
#include <QUrl>
#include <algorithm>

#include "app/MainWindowDesign.h"
#include "buffers/BufferCommands.h"
#include "buffers/BufferFiles.h"
#include "buffers/BufferSet.h"
#include "buffers/ui/BenchText.h"
#include "chips/ChipCatalogue.h"
#include "core/HeldImage.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"

namespace {

constexpr char RecentSection[] = "Files";
constexpr char RecentKey[] = "Recent";

QString localFileOf(const QMimeData* data)
{
    if (data == nullptr || data->urls().size() != 1 || !data->urls().first().isLocalFile())
        return QString();
    const QString path = data->urls().first().toLocalFile();
    return QFileInfo(path).isFile() ? path : QString();
}

}  // namespace

FileCommands::FileCommands(QMainWindow& window, MainWindowDesign& ui, Workbench& workbench, OperationHost& host)
    : QObject(&window), window_(window), ui_(ui), workbench_(workbench), host_(host)
{
    saveAs_ = new QAction(ui_.O1);
    saveAs_->setObjectName("SaveAs");
    // Spelt out: the standard key has no binding outside KDE, GNOME and
    // macOS themes, and the menu would show none.
    saveAs_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(saveAs_, &QAction::triggered, this, &FileCommands::saveAs);
    recent_ = new QMenu(ui_.O1);
    recent_->setObjectName("RecentFiles");
    // Before the separator above Exit.
    QAction* exitSeparator = ui_.O1->actions().value(ui_.O1->actions().indexOf(ui_.Q1) - 1);
    ui_.O1->insertAction(exitSeparator, saveAs_);
    ui_.O1->insertMenu(exitSeparator, recent_);
    window_.setAcceptDrops(true);
    window_.installEventFilter(this);
    rebuildRecentMenu();
}

void FileCommands::ApplyLanguage(int language)
{
    saveAs_->setText(benchText(Msg::SaveAsItem, language));
    recent_->setTitle(benchText(Msg::RecentFilesMenu, language));
}

void FileCommands::open()
{
    QFileDialog dialog(&window_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(OpenDialogFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    openPath(dialog.selectedFiles().first());
}

void FileCommands::openPath(const QString& path)
{
    QWidget* sheet = ui_.PageControl1->currentWidget();
    const BufferTab tab = sheet == ui_.TabSheet2 ? BufferTab::Eeprom
        : sheet == ui_.TabSheet3                 ? BufferTab::Config
                                                 : BufferTab::Flash;
    if (OpenBufferFile(workbench_, host_, tab, path.toStdString()))
        remember(path);
}

void FileCommands::save()
{
    QFileDialog dialog(&window_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(SaveDialogFilter);
    dialog.setDefaultSuffix(SaveDefaultExtension);
    // Saving asks before replacing a file itself, in the current language.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    saveTo(dialog.selectedFiles().first());
}

QString FileCommands::suggestedName() const
{
    QString chip = QString::fromStdString(workbench_.catalogue.nameList.selectedText());
    chip.replace(QRegularExpression("[^A-Za-z0-9_.-]"), "_");
    if (chip.isEmpty())
        chip = "flash";
    return chip + "_" + QDate::currentDate().toString("yyyyMMdd") + ".bin";
}

void FileCommands::saveAs()
{
    if (workbench_.busy) {
        host_.beep();
        return;
    }
    const std::string& source = workbench_.buffers.sourceFile;
    const QString folder = source.empty() ? QString() : QFileInfo(QString::fromStdString(source)).absolutePath();
    QFileDialog dialog(&window_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(SaveDialogFilter);
    dialog.setDefaultSuffix("bin");
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
    dialog.selectFile(suggestedName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    saveTo(dialog.selectedFiles().first());
}

void FileCommands::saveTo(const QString& path)
{
    if (!SaveFlashBuffer(workbench_, host_, path.toStdString()))
        return;
    remember(path);
    emit flashSaved();
}

void FileCommands::remember(const QString& path)
{
    const std::string file = QFileInfo(path).absoluteFilePath().toStdString();
    std::vector<std::string> files = remembered_.list(RecentSection, RecentKey, RecentCount);
    files.erase(std::remove(files.begin(), files.end(), file), files.end());
    files.insert(files.begin(), file);
    if (files.size() > size_t(RecentCount))
        files.resize(RecentCount);
    remembered_.setList(RecentSection, RecentKey, files, RecentCount);
    rebuildRecentMenu();
}

void FileCommands::rebuildRecentMenu()
{
    recent_->clear();
    int number = 1;
    for (const std::string& file : remembered_.list(RecentSection, RecentKey, RecentCount)) {
        const QString path = QString::fromStdString(file);
        QAction* item = recent_->addAction(QString("&%1 %2").arg(number++).arg(path));
        connect(item, &QAction::triggered, this, [this, path] {
            if (!RefusedWhileHeld(workbench_, host_))
                openPath(path);
        });
    }
    recent_->setEnabled(!recent_->isEmpty());
}

bool FileCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &window_ && event->type() == QEvent::DragEnter) {
        auto* drag = static_cast<QDragEnterEvent*>(event);
        if (!workbench_.holdsImage() && !localFileOf(drag->mimeData()).isEmpty())
            drag->acceptProposedAction();
        return true;
    }
    if (watched == &window_ && event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = localFileOf(drop->mimeData());
        if (path.isEmpty() || workbench_.holdsImage())
            return true;
        drop->acceptProposedAction();
        openPath(path);
        return true;
    }
    return QObject::eventFilter(watched, event);
}
