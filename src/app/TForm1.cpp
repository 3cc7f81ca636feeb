#include "app/TForm1.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QToolBar>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include "app/BenchMenu.h"
#include "app/CursorReadout.h"
#include "app/DeviceWatcher.h"
#include "app/FileCommands.h"
#include "app/MainCaptions.h"
#include "core/HeldImage.h"
#include "core/MessageCatalogue.h"
#include "app/PanelStatusBar.h"
#include "app/Settings.h"
#include "app/UpdateActions.h"
#include "app/SimulatorMenu.h"
#include "app/TAboutBox.h"
#include "buffers/FlashViewEdits.h"
#include "buffers/HexText.h"
#include "buffers/ui/HexFieldFilter.h"
#include "buffers/ui/TForm4.h"
#include "chips/ui/TForm2.h"
#include "chips/ui/TForm3.h"
#include "link/DeviceSession.h"
#include "maint/SimulatorLibrary.h"
#include "production/ui/ProductionMenu.h"
#include "maint/ui/TForm6.h"
#include "ops/SelectChip.h"

namespace {

// The progress bars start this far into the status bar, past the first four panels.
constexpr int ProgressLeft = 317;
constexpr int ProgressWidthLoss = 315;
constexpr int StatusBorderWidth = 0;

void setCaption(QObject* control, const QString& text)
{
    if (auto* action = qobject_cast<QAction*>(control))
        action->setText(text);
    else if (auto* menu = qobject_cast<QMenu*>(control))
        menu->setTitle(text);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
}

void simulatorHotplug(void* context)
{
    // Raised from inside a library call, possibly in the middle of a
    // connection check: handle it once that call has returned.
    QMetaObject::invokeMethod(static_cast<TForm1*>(context), "DeviceChanged", Qt::QueuedConnection);
}

}  // namespace

TForm1::TForm1(const std::string& settingsPath, const std::string& databasePath, SimulatorLibrary* simulator,
               QWidget* parent)
    : QMainWindow(parent),
      host_(this, ui, workbench_),
      settingsPath_(settingsPath),
      databasePath_(databasePath),
      simulator_(simulator)
{
    // Windows' dialog fonts are not on every system; take the nearest.
    QFont::insertSubstitutions("MS Sans Serif", {"DejaVu Sans", "Noto Sans CJK SC"});
    QFont::insertSubstitutions("Courier New", {"DejaVu Sans Mono", "Noto Sans Mono CJK SC"});

    ui.setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(":/images/belcor.svg"));
    resize(993, 601);

    // The design's captions are the Simplified Chinese ones; the stored
    // language is applied when the window is first shown.
    form2_ = new TForm2(workbench_, host_, this);
    form2_->setDatabasePath(databasePath_);
    form3_ = new TForm3(workbench_, host_, this);
    form4_ = new TForm4(workbench_, host_, this);
    aboutBox_ = new TAboutBox(this);
    form6_ = new TForm6(workbench_, host_, this);
    setCaptions(SimplifiedChinese);
    ui.StatusBar1->setPanelText(1, QString::fromStdString(MessageCatalogue::text(Msg::NotConnected, SimplifiedChinese)));
    ui.StatusBar1->setPanelText(3, "00:00:00");
    ui.StatusBar1->setOwnerDrawnPanel(1, [this](QPainter& painter, int panel, const QRect& rect) {
        StatusBar1DrawPanel(painter, panel, rect);
    });
    ui.StatusBar1->installEventFilter(this);
    FormResize();

    workbench_.link.setSleep([this](uint32_t milliseconds) { host_.sleepMs(milliseconds); });
    // The chip picked in the lists is the one meant, also for a seated part
    // that identifies itself otherwise.
    workbench_.acceptsOtherIdentification = true;

    connectHandlers();
    updateActions_ = new UpdateActions(*ui.O3, workbench_, host_, [this] { finishCommand(); }, this);
    FormCreate();
    fileCommands_ = new FileCommands(*this, ui, workbench_, host_);
    benchMenu_ = new BenchMenu(ui, workbench_, host_, this);
    productionMenu_ = new ProductionMenu(workbench_, host_, this);
    menuBar()->insertMenu(ui.H1->menuAction(), productionMenu_);
    // The caption stays as the language sets it: the buffer's file and the
    // open job are named under the FLASH view instead.
    connect(fileCommands_, &FileCommands::flashSaved, benchMenu_->readout(), &CursorReadout::refresh);
    connect(productionMenu_, &ProductionMenu::jobChanged, this, &TForm1::jobChanged);

    if (simulator_) {
        simulatorMenu_ = new SimulatorMenu(*simulator_, workbench_, this);
        menuBar()->insertMenu(ui.H1->menuAction(), simulatorMenu_);
        simulator_->setHotplugCallback(simulatorHotplug, this);
    } else {
        deviceWatcher_ = new DeviceWatcher(this);
        connect(deviceWatcher_, &DeviceWatcher::devicesChanged, this, &TForm1::DeviceChanged);
    }
}

TForm1::~TForm1()
{
    // Before the workbench that programmers of a gang run may still be using.
    delete productionMenu_;
    if (simulator_)
        simulator_->setHotplugCallback(nullptr, nullptr);
}

void TForm1::connectHandlers()
{
    const auto both = [this](QToolButton* button, QAction* item, void (TForm1::*handler)()) {
        if (button)
            connect(button, &QToolButton::clicked, this, handler);
        if (item)
            connect(item, &QAction::triggered, this, handler);
    };
    both(ui.ToolOpen, ui.O2, &TForm1::ToolOpenClick);
    both(ui.ToolSave, ui.S1, &TForm1::ToolSaveClick);
    both(ui.ToolFill, ui.Fill, &TForm1::ToolFillClick);
    both(ui.ToolBank, ui.N7, &TForm1::ToolBankClick);
    both(ui.ToolAuto, ui.A1, &TForm1::ToolAutoClick);
    both(ui.ToolErase, ui.E1, &TForm1::ToolEraseClick);
    both(ui.ToolWrite, ui.W1, &TForm1::ToolWriteClick);
    both(ui.ToolRead, ui.R1, &TForm1::ToolReadClick);
    both(ui.ToolVerify, ui.V1, &TForm1::ToolVerifyClick);
    both(ui.ToolDevice, ui.N3, &TForm1::ToolDeviceClick);
    both(ui.ToolAbout, ui.N5, &TForm1::ToolAboutClick);
    both(nullptr, ui.N4, &TForm1::N4Click);
    connect(ui.ToolBulk, &QToolButton::clicked, this, &TForm1::ToolBulkClick);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(ui.BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
    connect(ui.Q1, &QAction::triggered, this, &QWidget::close);
    connect(ui.China, &QAction::triggered, this, &TForm1::ChinaClick);
    connect(ui.fanti, &QAction::triggered, this, &TForm1::fantiClick);
    connect(ui.Enlish, &QAction::triggered, this, &TForm1::EnlishClick);
    connect(ui.ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);
    connect(ui.ComboBox2, &QComboBox::activated, this, &TForm1::ComboBox2Change);
    connect(ui.ComboBox3, &QComboBox::activated, this, &TForm1::ComboBox3Change);
    connect(ui.Edit3, &QLineEdit::textChanged, this, &TForm1::Edit3Change);
    connect(ui.Edit4, &QLineEdit::textChanged, this, &TForm1::Edit4Change);
    connect(ui.CheckBox5, &QCheckBox::clicked, this, &TForm1::CheckBox5Click);
    HexFieldFilter::install(ui.Edit3);
    HexFieldFilter::install(ui.Edit4);
}

void TForm1::FormCreate()
{
    settings_ = std::make_unique<Settings>(settingsPath_);
    if (settings_->formMax()) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        move(settings_->formLeft(), settings_->formTop());
        resize(settings_->formWidth(), settings_->formHeight());
    }
    ChipCatalogue& catalogue = workbench_.catalogue;
    catalogue.INDEX1 = settings_->index1();
    catalogue.INDEX2 = settings_->index2();
    catalogue.INDEX3 = settings_->index3();
    // Maintenance mode: the chip editor and the hardware dialog become reachable.
    const bool maintenance = settings_->deviceChip() != 0;
    ui.ToolDeviceAction->setVisible(maintenance);
    ui.N3->setVisible(maintenance);
    ui.N4->setVisible(maintenance);
    workbench_.speed = settings_->speed();
    workbench_.languageIndex = settings_->language();
}

void TForm1::FormShow()
{
    LoadChipDatabase(workbench_, host_, databasePath_);
    ApplyLanguage();
    // Over the chip database: the job names its chip there.
    productionMenu_->reopenLastJob();
    // Centred at the size read: the stored position never shows.
    if (!isMaximized() && screen()) {
        QRect placement = frameGeometry();
        placement.moveCenter(screen()->availableGeometry().center());
        move(placement.topLeft());
    }
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    FormShow();
    // The first activation follows the first show.
    QTimer::singleShot(0, this, &TForm1::FormActivate);
}

bool TForm1::FormClose()
{
    const ChipCatalogue& catalogue = workbench_.catalogue;
    return settings_->setIndex1(catalogue.INDEX1) && settings_->setIndex2(catalogue.INDEX2)
        && settings_->setIndex3(catalogue.INDEX3) && settings_->setSpeed(workbench_.speed)
        && settings_->setLanguage(workbench_.languageIndex);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // A running command owns the link and the buffers: stop batch mode, let
    // the command end, and close then.
    if (workbench_.busy || batchRunning_) {
        event->ignore();
        closePending_ = true;
        if (ui.ToolBulk->isChecked()) {
            ui.ToolBulk->setChecked(false);
            ToolBulkClick(false);
        }
        return;
    }
    if (HoldsUnsavedFlash(workbench_, host_)
        && !host_.question(MessageCatalogue::text(Msg::DiscardUnsavedOnClose, workbench_.languageIndex))) {
        event->ignore();
        return;
    }
    // Settings that cannot be written (a read-only folder among other causes)
    // are reported, but are no reason to keep the user from quitting: a window
    // that refuses to close leaves nothing to do but kill the program.
    if (!FormClose())
        host_.errorBox("Unable to write to " + settingsPath_);
    event->accept();
}

void TForm1::finishCommand()
{
    if (checkPending_ && !workbench_.busy && !batchRunning_)
        FormActivate();
    if (closePending_ && !workbench_.busy && !batchRunning_) {
        closePending_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TForm1::jobChanged()
{
    const OpenedJob* opened = productionMenu_->job();
    benchMenu_->readout()->setJob(opened ? QString::fromStdString(opened->job.name) : QString(),
                                  opened && opened->job.locked);
    if (opened) {
        host_.insertLogLine(MessageCatalogue::format(Msg::JobOpenedLine, workbench_.languageIndex,
                                                     {opened->job.name, opened->path})
                            + " (" + host_.longTimeText() + ")");
    }
}

void TForm1::FormResize()
{
    const int width = ui.StatusBar1->width() - ProgressWidthLoss;
    const int height = ui.StatusBar1->height() - StatusBorderWidth - 2;
    ui.Progress->setGeometry(ProgressLeft, StatusBorderWidth + 2, width, height);
    ui.Progress2->setGeometry(ProgressLeft, StatusBorderWidth + height + 2, width, height / 2);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui.StatusBar1 && event->type() == QEvent::Resize)
        FormResize();
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::FormActivate()
{
    // The running command holds the link; a device that came or went meanwhile
    // is checked once it is over, or the state panel would keep whatever the
    // end of its session left there.
    if (workbench_.busy) {
        checkPending_ = true;
        return;
    }
    checkPending_ = false;
    ConnectionCheck(workbench_, host_);
}

void TForm1::DeviceChanged()
{
    FormActivate();
}

void TForm1::runDialog(QDialog& dialog)
{
    dialog.exec();
    FormActivate();
}

void TForm1::ApplyLanguage()
{
    const int language = workbench_.languageIndex;
    if (language < 0 || language > 2)
        return;
    ui.languageGroup->actions().at(language)->setChecked(true);
    standardTexts_.apply(language);
    setCaptions(language);
    // The state panel keeps its text, but whether that text is drawn red
    // depends on the language.
    ui.StatusBar1->update(ui.StatusBar1->panelRect(1));
    form2_->ApplyLanguage(language);
    form3_->ApplyLanguage(language);
    form4_->ApplyLanguage(language);
    form6_->ApplyLanguage(language);
    updateActions_->ApplyLanguage(language);
    fileCommands_->ApplyLanguage(language);
    benchMenu_->ApplyLanguage(language);
    if (simulatorMenu_)
        simulatorMenu_->ApplyLanguage(language);
    if (productionMenu_)
        productionMenu_->ApplyLanguage(language);
}

void TForm1::setCaptions(int language)
{
    for (const CaptionRow& row : MainCaptions()) {
        const QString text = QString::fromUtf8(row.text.at(language));
        if (row.target == CaptionRow::Target::StatusPanel) {
            ui.StatusBar1->setPanelText(QString(row.control).toInt(), text);
        } else if (row.target == CaptionRow::Target::AboutBox) {
            setCaption(aboutBox_->findChild<QObject*>(row.control), text);
        } else if (QString(row.control) == objectName()) {
            setWindowTitle(text);
        } else {
            QObject* control = findChild<QObject*>(row.control);
            const int tab = ui.PageControl1->indexOf(qobject_cast<QWidget*>(control));
            if (tab >= 0)
                ui.PageControl1->setTabText(tab, text);
            else
                setCaption(control, text);
        }
    }
}

void TForm1::setLanguage(int languageIndex)
{
    workbench_.languageIndex = languageIndex;
    ApplyLanguage();
    ui.RichEdit1->clear();
}

void TForm1::ChinaClick()
{
    setLanguage(SimplifiedChinese);
}

void TForm1::fantiClick()
{
    setLanguage(TraditionalChinese);
}

void TForm1::EnlishClick()
{
    setLanguage(English);
}

QColor TForm1::statePanelColour() const
{
    const QString notConnected =
        QString::fromStdString(MessageCatalogue::text(Msg::NotConnected, workbench_.languageIndex));
    return ui.StatusBar1->panelText(1) == notConnected ? QColor(255, 0, 0) : palette().color(QPalette::ButtonText);
}

void TForm1::StatusBar1DrawPanel(QPainter& painter, int panel, const QRect& rect)
{
    painter.setPen(statePanelColour());
    painter.drawText(rect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, ui.StatusBar1->panelText(panel));
}

void TForm1::ToolOpenClick()
{
    fileCommands_->open();
    finishCommand();
}

void TForm1::ToolSaveClick()
{
    fileCommands_->save();
    finishCommand();
}

void TForm1::ToolFillClick()
{
    form4_->resetEndAddress(workbench_.catalogue.currentRecord().flashSize);
    runDialog(*form4_);
}

AutoOptions TForm1::autoOptions() const
{
    return AutoOptions{ui.CheckBox1->isChecked(), ui.CheckBox2->isChecked(), ui.CheckBox3->isChecked()};
}

void TForm1::runOperation(Operation operation)
{
    RunOperation(workbench_, host_, operation, autoOptions());
    finishCommand();
}

void TForm1::ToolBankClick()
{
    runOperation(Operation::BlankCheck);
}

void TForm1::ToolAutoClick()
{
    runOperation(Operation::Auto);
}

void TForm1::ToolEraseClick()
{
    runOperation(Operation::Erase);
}

void TForm1::ToolWriteClick()
{
    runOperation(Operation::Write);
}

void TForm1::ToolReadClick()
{
    runOperation(Operation::Read);
}

void TForm1::ToolVerifyClick()
{
    runOperation(Operation::Verify);
}

void TForm1::setBatchControlsEnabled(bool enabled)
{
    for (QWidget* control : ui.ToolBar1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (control != ui.ToolBulk)
            control->setEnabled(enabled);
    for (QWidget* column : centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        column->setEnabled(enabled);
}

void TForm1::ToolBulkClick(bool down)
{
    if (!down) {
        // The STOP click, handled inside the running loop, which then ends.
        ui.ToolBulk->setText(QString::fromStdString(MessageCatalogue::text(Msg::Bulk, workbench_.languageIndex)));
        setBatchControlsEnabled(true);
        return;
    }
    if (workbench_.busy) {
        // Pressed during another command: refused, and the button comes up again
        // rather than standing at STOP over disabled controls.
        ui.ToolBulk->setChecked(false);
        host_.beep();
        return;
    }
    setBatchControlsEnabled(false);
    ui.ToolBulk->setText(QString::fromStdString(MessageCatalogue::text(Msg::Stop, workbench_.languageIndex)));
    batchRunning_ = true;
    RunBatch(workbench_, host_, autoOptions(), [this] { return ui.ToolBulk->isChecked(); });
    batchRunning_ = false;
    finishCommand();
}

void TForm1::ToolDeviceClick()
{
    runDialog(*form2_);
}

void TForm1::ToolAboutClick()
{
    runDialog(*aboutBox_);
}

void TForm1::N4Click()
{
    form6_->runHardwareCommand();
    FormActivate();
}

void TForm1::BitBtn1Click()
{
    DetectChip(workbench_, host_);
    finishCommand();
}

void TForm1::BitBtn2Click()
{
    runDialog(*form3_);
}

void TForm1::listPicked(ListChange change, int position)
{
    // Refused while an operation runs: the list must not go on showing a chip
    // other than the one the operation and the next command work on.
    const bool refused = workbench_.busy;
    change(workbench_, host_, position);
    if (refused)
        host_.showChipLists();
}

void TForm1::ComboBox1Change(int position)
{
    listPicked(TypeListChanged, position);
}

void TForm1::ComboBox2Change(int position)
{
    listPicked(ManufacturerListChanged, position);
}

void TForm1::ComboBox3Change(int position)
{
    listPicked(NameListChanged, position);
}

void TForm1::rangeFieldChanged(QLineEdit* field, const QString& text, int32_t& stored)
{
    // The range is part of what a running operation or a production run
    // writes, and of a locked job: the field goes back to the range in use.
    if (RefusedWhileHeld(workbench_, host_)) {
        const QSignalBlocker quiet(field);
        field->setText(QString::fromStdString(HexFieldText(static_cast<uint32_t>(stored))));
        return;
    }
    const std::string message = UpdateFromHexText(text.toStdString(), stored);
    if (!message.empty())
        host_.errorBox(message);
}

void TForm1::Edit3Change(const QString& text)
{
    rangeFieldChanged(ui.Edit3, text, workbench_.buffers.range.start);
}

void TForm1::Edit4Change(const QString& text)
{
    rangeFieldChanged(ui.Edit4, text, workbench_.buffers.range.end);
}

void TForm1::CheckBox5Click(bool checked)
{
    if (RefusedWhileHeld(workbench_, host_)) {
        ui.CheckBox5->setChecked(workbench_.buffers.range.enabled);
        return;
    }
    workbench_.buffers.range.enabled = checked;
    ui.Edit3->setEnabled(checked);
    ui.Edit4->setEnabled(checked);
}
